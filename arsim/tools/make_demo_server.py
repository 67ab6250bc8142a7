#!/usr/bin/env python3
"""Writes the demo server of the stand-in AR library: arsim/servers/demo/.

Deterministic: the same script always writes the same files. Run it from anywhere:
    python3 arsim/tools/make_demo_server.py
"""
import os
import random

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "servers", "demo")
DAY = 86400
YEAR_START = 1704096000  # 2024-01-01 08:00 UTC

PEOPLE = ["jsmith", "akhan", "mlopez", "tnguyen", "rpatel", "cdubois", "kowalski",
          "hsato", "bjohansson", "eokafor", "lrossi", "dmueller"]
AGENTS = ["akhan", "mlopez", "tnguyen", "rpatel", "hsato"]
GROUPS = ["Service Desk", "Desktop Support", "Network Operations", "Messaging",
          "Identity and Access", "Facilities IT", "Application Support"]
SITES = ["Building A, floor 2", "Building A, floor 3", "Building C reception",
         "the warehouse office", "the Lyon branch", "the Oslo branch", "the training room",
         "the finance wing", "meeting room Atlas", "meeting room Birch"]

# (category, short description, long description, work-log notes)
CASES = [
    ("Hardware/Printer", "Printer jams on every second page",
     "The shared laser printer in {site} pulls two sheets at once and jams. Users have "
     "cleared the tray several times; the counter shows {n} jams this week. Toner was "
     "replaced last month.",
     ["Opened the rear door and removed a torn sheet stuck behind the fuser.",
      "Pickup rollers are worn. Ordered a maintenance kit.",
      "Maintenance kit fitted, printed a 50 page test without a jam."]),
    ("Hardware/Laptop", "Laptop battery drains within an hour",
     "{person} reports that the laptop battery goes from full to empty in about an hour, "
     "even with the screen dimmed. The battery health report shows {n} percent of design "
     "capacity.",
     ["Ran the vendor diagnostics: battery flagged as failing.",
      "Replacement battery requested under warranty.",
      "New battery installed, runtime back to seven hours."]),
    ("Network/VPN", "VPN drops every hour",
     "When working from home the VPN client disconnects roughly every sixty minutes and "
     "asks for the token again. It started after the client update to version 4.{n}.",
     ["Collected the client log; the gateway ends the session at rekey time.",
      "Known issue with the 4.x client, see the known issue list. Applied the workaround.",
      "User confirms a full working day without a drop."]),
    ("Network/Wireless", "No wireless signal in {site}",
     "Nobody in {site} can join the corporate wireless network since this morning. Phones "
     "see the guest network only.",
     ["Access point AP-{n} is offline in the controller.",
      "Power injector had failed. Replaced it, access point joined the controller.",
      "Signal strength checked with a phone at three spots, all good."]),
    ("Software/Email", "Outgoing mail stuck in the outbox",
     "Messages with attachments stay in the outbox of {person}. Mail without attachments "
     "goes out. The mailbox is at {n} percent of its quota.",
     ["Mailbox was over the sending limit. Archived old items with the user.",
      "Outbox emptied after the archive finished."]),
    ("Software/Email", "Calendar invitations arrive twice",
     "Every meeting request sent by {person} arrives twice at the recipients. A delegate "
     "was added to the mailbox last week.",
     ["Both the owner and the delegate were set to receive and forward requests.",
      "Changed the delegate settings so only the delegate receives copies."]),
    ("Software/ERP", "Invoice export to the ERP fails with a timeout",
     "The nightly export of supplier invoices stops after about {n} records with the "
     "message 'Timeout during database query'. Finance needs the invoices before the "
     "month-end close.",
     ["Reproduced with a single day of invoices: finishes. A full month times out.",
      "Database index on the invoice date was missing after the upgrade. DBA rebuilt it.",
      "Export of the full month finished in four minutes."]),
    ("Access/Account", "Account locked after password change",
     "{person} changed the password this morning and has been locked out three times "
     "since. The phone still has the old password for mail.",
     ["Unlocked the account and found the phone as the source of the failed logins.",
      "Updated the password on the phone with the user. No new lockouts."]),
    ("Access/Permissions", "Cannot open the shared folder of the project team",
     "{person} moved to the project team and gets 'Access denied' on the team share. "
     "Manager approval is attached.",
     ["Added the user to the project group.",
      "Access works after signing out and in again."]),
    ("Hardware/Monitor", "Second monitor flickers",
     "The second monitor at the desk of {person} in {site} flickers and goes black for a "
     "second every few minutes. Swapping the cable did not help.",
     ["Tested the monitor on another docking station: no flicker.",
      "Docking station firmware was old. Updated it to the current release.",
      "No flicker during a two hour observation."]),
    ("Software/Browser", "Intranet pages show a certificate warning",
     "Since Monday every page of the intranet shows a certificate warning in the browser "
     "for users in {site}.",
     ["The intranet certificate was renewed but the intermediate was not installed.",
      "Web team installed the full chain. Warning gone."]),
    ("Facilities IT", "Meeting room display does not wake up",
     "The display in {site} stays black when a laptop is connected. The room booking "
     "panel outside still works.",
     ["Display was set to a sleep timer that ignores the HDMI signal.",
      "Changed the power setting; display wakes when a laptop is plugged in."]),
    ("Software/Telephony", "No dial tone on the desk phone",
     "The desk phone of {person} shows the extension but gives no dial tone. The phone "
     "was moved to a new desk yesterday.",
     ["The new port is on the data VLAN only.",
      "Network team moved the port to the voice VLAN. Dial tone back."]),
    ("Software/Office", "Spreadsheet macros disabled after update",
     "After the office update the budget workbook opens with macros blocked for the "
     "whole finance team. {n} people are affected.",
     ["The workbook is opened from a network path that is not a trusted location.",
      "Added the finance share as a trusted location by policy."]),
]

CHANGES = [
    ("Replace the core switch in the main server room",
     "The core switch is out of vendor support at the end of the quarter. Replace it with "
     "the new model and move all {n} uplinks.",
     "End of support", "Core network, all sites"),
    ("Upgrade the mail servers to the current release",
     "Apply the current release to both mail servers, one after the other, keeping one "
     "server in service at all times.",
     "Security fixes", "Email, calendar"),
    ("Renew the intranet certificate",
     "The certificate of the intranet expires in {n} days. Install the renewed "
     "certificate with its full chain on both web servers.",
     "Certificate expiry", "Intranet"),
    ("Add disk space to the file server",
     "The project volume of the file server is at {n} percent. Extend it by two terabytes "
     "from the storage pool.",
     "Capacity", "File shares"),
    ("Patch the ERP database server",
     "Install the monthly operating system patches on the ERP database server during the "
     "maintenance window.",
     "Monthly patching", "ERP, invoicing"),
    ("Move the Lyon branch to the new internet line",
     "The Lyon branch gets a faster internet line. Move the firewall to the new line and "
     "keep the old one as backup for {n} days.",
     "Bandwidth", "Lyon branch"),
    ("Roll out the VPN client 4.3",
     "Version 4.3 of the VPN client fixes the hourly disconnects. Roll it out to {n} "
     "laptops in three waves.",
     "Bug fix", "Remote access"),
    ("Retire the old fax server",
     "The fax server has not sent a fax in {n} months. Switch it off and remove its DNS "
     "entries.",
     "Decommission", "Fax"),
]

ISSUES = [
    ("VPN client 4.2 disconnects at rekey", "VPN client/4.2",
     "The client drops the tunnel when the gateway renews the session key, about once an "
     "hour.",
     ["Set the rekey interval on the gateway profile to eight hours.",
      "Fixed in client 4.3; roll out the new client."]),
    ("Mail client freezes when opening large attachments", "Mail client/16",
     "Opening an attachment over {n} MB freezes the mail client for several minutes.",
     ["Save the attachment first and open it from the disk.",
      "Vendor hotfix released; included in the next monthly update."]),
    ("Docking stations lose the second monitor", "Docking station/firmware 1.{n}",
     "Monitors on the second port go black for a moment every few minutes.",
     ["Update the docking station firmware.", "Use the first port for the main monitor."]),
    ("ERP export times out on large months", "ERP/2023 R2",
     "The invoice export stops with a timeout when a month holds more than {n} invoices.",
     ["Export the month in two halves.", "Rebuild the invoice date index after upgrades."]),
    ("Printer driver prints blank pages from the browser", "Printer driver/5.{n}",
     "Pages printed from the browser come out blank on the shared laser printers.",
     ["Print to PDF first and print the PDF.", "Install driver version 6."]),
]


def q(text):
    """A quoted fixture word."""
    out = text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n").replace("\t", "\\t")
    return '"' + out + '"'


def context(rng):
    """The details one entry's texts share."""
    return dict(site=rng.choice(SITES), person=rng.choice(PEOPLE), n=rng.randint(2, 95))


def fill(template, ctx):
    return template.format(**ctx)


def write(name, lines):
    with open(os.path.join(OUT, name), "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def helpdesk_cases(rng):
    lines = ["# Helpdesk cases. Written by arsim/tools/make_demo_server.py.",
             'schema "HPD:Case"',
             'field 1 char "Request ID" max=15',
             'field 2 char "Submitter" max=30',
             'field 3 time "Create Date"',
             'field 4 char "Assigned To" max=30',
             'field 5 char "Last Modified By" max=30',
             'field 6 time "Modified Date"',
             'field 7 enum "Status" values="New;Assigned;In Progress;Pending;Resolved;Closed"',
             'field 8 char "Short Description" max=128',
             'field 15 char "Status History" max=255',
             'field 536870913 enum "Priority" values="Critical;High;Medium;Low"',
             'field 536870914 char "Assigned Group" max=60',
             'field 536870915 char "Category/Type" max=60',
             'field 536870916 char "Detailed Description" max=4000',
             'field 536870917 diary "Work Log"',
             'field 536870918 char "Internal Notes" max=0',
             'field 536870919 integer "Reopen Count"',
             'field 536870920 real "Time Spent Hours"',
             ""]
    for i in range(1, 181):
        category, short, long, notes = CASES[rng.randrange(len(CASES))]
        ctx = context(rng)
        created = YEAR_START + rng.randrange(360) * DAY + rng.randrange(9 * 3600)
        status = rng.choices(range(6), weights=[2, 3, 3, 2, 5, 8])[0]
        agent = rng.choice(AGENTS)
        submitter = rng.choice(PEOPLE)
        lines += ["entry",
                  "set 1 HD%013d" % i,
                  "set 2 " + submitter,
                  "set 3 %d" % created,
                  "set 7 %d" % status,
                  "set 8 " + q(fill(short, ctx)),
                  "set 536870913 %d" % rng.choices(range(4), weights=[1, 3, 6, 4])[0],
                  "set 536870914 " + q(rng.choice(GROUPS)),
                  "set 536870915 " + q(category),
                  "set 536870916 " + q(fill(long, ctx)),
                  "set 536870918 " + q("Checked by %s." % agent)]
        history = "New %d %s" % (created, submitter)
        if status > 0:
            lines.append("set 4 " + agent)
            history += ";Assigned %d %s" % (created + 1800, agent)
        worked = notes[: min(len(notes), status + 1)] if status else []
        t = created
        for note in worked:
            t += rng.randint(1, 30) * 3600
            lines.append("diary 536870917 %d %s %s" % (t, agent, q(fill(note, ctx))))
        if worked:
            lines += ["set 5 " + agent, "set 6 %d" % t,
                      "set 536870920 %.2f" % (len(worked) * rng.choice([0.25, 0.5, 0.75, 1.5]))]
        if status == 5 and rng.random() < 0.15:
            lines.append("set 536870919 %d" % rng.randint(1, 3))
        lines += ["set 15 " + q(history), ""]
    write("10-hpd-case.schema", lines)


def change_requests(rng):
    lines = ["# Change requests. Written by arsim/tools/make_demo_server.py.",
             'schema "CHG:Change Request"',
             'field 1 char "Change ID" max=15',
             'field 2 char "Submitter" max=30',
             'field 3 time "Create Date"',
             'field 7 enum "Status" '
             'values="Draft;Requested;Approved;Scheduled;Implemented;Closed;Rejected"',
             'field 8 char "Summary" max=128',
             'field 10 char "Change Reason" max=255',
             'field 536870921 enum "Risk Level" values="Low;Moderate;High"',
             'field 536870922 time "Planned Start"',
             'field 536870923 time "Planned End"',
             'field 536870924 char "Approver" max=30',
             'field 536870925 char "Description" max=4000',
             'field 536870926 diary "Change Log"',
             'field 536870927 char "Affected Services" max=255',
             ""]
    for i in range(1, 91):
        summary, description, reason, services = CHANGES[rng.randrange(len(CHANGES))]
        created = YEAR_START + rng.randrange(360) * DAY + rng.randrange(9 * 3600)
        start = created + rng.randint(3, 20) * DAY + 20 * 3600
        status = rng.choices(range(7), weights=[1, 2, 2, 2, 3, 6, 1])[0]
        owner = rng.choice(AGENTS)
        lines += ["entry",
                  "set 1 CRQ%012d" % i,
                  "set 2 " + owner,
                  "set 3 %d" % created,
                  "set 7 %d" % status,
                  "set 8 " + q(summary),
                  "set 10 " + q(reason),
                  "set 536870921 %d" % rng.choices(range(3), weights=[5, 3, 1])[0],
                  "set 536870922 %d" % start,
                  "set 536870923 %d" % (start + rng.choice([2, 4, 6]) * 3600),
                  "set 536870925 " + q(fill(description, context(rng))),
                  "set 536870927 " + q(services)]
        if status >= 2 and status != 6:
            lines.append("set 536870924 " + rng.choice(["cdubois", "lrossi", "dmueller"]))
        log = ["Change drafted.", "Submitted for approval.", "Approved by the change board.",
               "Scheduled for the maintenance window.", "Implemented without incident.",
               "Post-implementation review done, closed."][: min(status, 5) + 1]
        t = created
        for note in log:
            lines.append("diary 536870926 %d %s %s" % (t, owner, q(note + "\n")))
            t += rng.randint(4, 48) * 3600
        lines.append("")
    write("20-chg-change-request.schema", lines)


def known_issues(rng):
    lines = ["# Known issues; field 10 is a diary. Written by arsim/tools/make_demo_server.py.",
             'schema "KB:Known Issue"',
             'field 1 char "Issue ID" max=15',
             'field 2 char "Submitter" max=30',
             'field 3 time "Create Date"',
             'field 7 enum "Status" values="Open;Workaround;Fixed;Closed"',
             'field 8 char "Title" max=128',
             'field 10 diary "Workaround History"',
             'field 536870930 char "Product/Version" max=60',
             'field 536870931 char "Symptom" max=2000',
             ""]
    for i in range(1, 41):
        title, product, symptom, workarounds = ISSUES[rng.randrange(len(ISSUES))]
        ctx = context(rng)
        created = YEAR_START + rng.randrange(360) * DAY + rng.randrange(9 * 3600)
        status = rng.choices(range(4), weights=[2, 4, 2, 3])[0]
        author = rng.choice(AGENTS)
        lines += ["entry",
                  "set 1 KI%013d" % i,
                  "set 2 " + author,
                  "set 3 %d" % created,
                  "set 7 %d" % status,
                  "set 8 " + q(title),
                  "set 536870930 " + q(fill(product, ctx)),
                  "set 536870931 " + q(fill(symptom, ctx))]
        t = created
        for note in workarounds[: status + (1 if status < 2 else 0)]:
            t += rng.randint(1, 10) * DAY
            lines.append("diary 10 %d %s %s" % (t, author, q(note + "\n")))
        lines.append("")
    write("30-kb-known-issue.schema", lines)


def main():
    os.makedirs(OUT, exist_ok=True)
    rng = random.Random(20240101)
    write("server.txt", ["# The demo server: one login (user demo, password demo).",
                         "user demo demo"])
    helpdesk_cases(rng)
    change_requests(rng)
    known_issues(rng)


if __name__ == "__main__":
    main()
