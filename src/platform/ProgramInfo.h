#pragma once
// Who this program is: its version and the maker's addresses, all set when it is configured
// (cmake -DQUILLMOT_HOME_PAGE=... -DQUILLMOT_UPDATE_URL=...).

#include <QString>

namespace ProgramInfo {

// The program's name: the title of its windows and message boxes, the folder of its data.
inline const QString name = QStringLiteral("Quillmot");

struct Version {
    int major = 0;
    int minor = 0;
    int revision = 0;

    // Versions are ordered by major, then minor, then revision.
    friend auto operator<=>(const Version&, const Version&) = default;
};

inline constexpr Version ownVersion{QUILLMOT_VERSION_MAJOR, QUILLMOT_VERSION_MINOR,
                                    QUILLMOT_VERSION_PATCH};

// "1.2.3".
QString versionText(const Version& version = ownVersion);

// The name of the desktop entry and of the icon in the desktop's icon theme.
inline const QString appId = QStringLiteral(QUILLMOT_APP_ID);

inline const QString homePage = QStringLiteral(QUILLMOT_HOME_PAGE);
// The published version text. The environment variable QUILLMOT_UPDATE_URL points it elsewhere
// (a local test server).
QString updateAddress();

} // namespace ProgramInfo
