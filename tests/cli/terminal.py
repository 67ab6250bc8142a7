"""A program run in a pseudo-terminal, as a person at a terminal runs it (POSIX only)."""

import os


def run_in_terminal(argv, answer_after=None, answer=b""):
    """Runs argv with a pty as its terminal; once answer_after has been shown, types
    answer. Returns (everything shown, exit status)."""
    import pty
    pid, fd = pty.fork()
    if pid == 0:
        os.execv(argv[0], argv)
    shown = b""
    if answer_after is not None:
        while answer_after not in shown:
            shown += os.read(fd, 1024)
        os.write(fd, answer)
    while True:
        try:
            chunk = os.read(fd, 4096)
        except OSError:  # the terminal closed with the program
            break
        if not chunk:
            break
        shown += chunk
    _, status = os.waitpid(pid, 0)
    return shown, os.WEXITSTATUS(status)
