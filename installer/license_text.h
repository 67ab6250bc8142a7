// The licence agreement shown by the installer before it installs Norvel.
#pragma once

namespace norvel {

// Plain text, lines ended by CR LF, ending with an empty line.
extern const char kLicenseAgreement[];

}  // namespace norvel
