#pragma once
// What the notification popup shows for one queued result, and where the popup goes.

#include <QRect>
#include <QString>

namespace PopupTexts {
inline const QString scanning = QStringLiteral("Scanning for updated files...");
inline const QString sourceCaption = QStringLiteral("Source File");
inline const QString destinationCaption = QStringLiteral("Destination Folder");

// Message colours as 0xRRGGBB, light shades that read on the popup's dark status strip.
constexpr quint32 errorColour = 0xFFC0C0;    // light red
constexpr quint32 delayColour = 0xFFFFC0;    // light yellow
constexpr quint32 otherColour = 0xC0C0FF;    // light blue
constexpr quint32 scanningColour = 0xFFFFFF; // white

enum class MessageKind { Error, Delay, Other };
// By the message's first five characters: "Error", "Delay", or anything else.
MessageKind kindOf(const QString& message);
quint32 colourOf(MessageKind kind);

// Each line shows names as Paths::displayName does, so that a name cannot add a line of its own.
// The status line of a notice. Notices keep the caption form of their text, where "&&" stands
// for one ampersand ("Copy saved && Previous version stored"); a label shows it as read.
QString statusText(const QString& message);

// The source line: the full path, or only the file name.
QString sourceText(const QString& sourcePath, bool fullSource);
// The destination line: the full path, or its last folder preceded by the one above it and "/"
// ("/media/usb/Backups/Docs" reads "Backups/Docs"); a path of one part reads as that part.
QString destinationText(const QString& destinationPath, bool fullDest);
// The destination line of a result: the destination text followed by the volume the
// destination's disk must carry and the destination folder as the user gave it (that one only
// when the text does not already hold it), since the results of two destinations of one file end
// in the same folders: "Documents/Recipes (BACKUP_B, /mnt/qb)".
QString destinationLine(const QString& destDir, const QString& destFolder,
                        const QString& destVolume, bool fullDest);
} // namespace PopupTexts

namespace PopupGeometry {
// The popup's initial inner size, in twips.
constexpr int widthTwips = 4680;
constexpr int heightTwips = 1605;
// The scanning strip is the status strip and this much more.
constexpr int stripMarginTwips = 90;

// Twips to pixels at a screen's logical resolution (1440 twips an inch).
int pixels(int twips, double dpi);

// The width for the next notification: it only grows (the popup does not jump narrower between
// two results), to what its texts need, and never past the work area.
int grownWidth(int currentWidth, int neededWidth, int workAreaWidth);

// The popup's place: its bottom-right corner on the work area's, which may start anywhere (a
// panel at the top or left, a second monitor); never larger than the work area.
QRect bottomRight(const QRect& workArea, QSize size);
} // namespace PopupGeometry
