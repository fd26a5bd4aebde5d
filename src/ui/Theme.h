#pragma once
#include <QColor>
#include <QString>
#include <optional>

class QApplication;

namespace zrk {

// The window's colour themes. The choice belongs to the window, not to the
// controller: it is kept in its own small file beside CONFIG.INI, so the
// settings file keeps exactly what the controller saves.
enum class Theme { Light, Dark };

// "light" / "dark", any letter case; nothing for other text.
std::optional<Theme> ParseTheme(const QString& text);
QString ThemeName(Theme theme);

// The colours the window's own drawings (panels, lamps, readouts) use.
struct ThemeColors {
    QColor window;       // behind the panels
    QColor panel;        // a panel's face
    QColor panelBorder;
    QColor titleTop, titleBottom, titleText;
    QColor shadow;       // a panel's shadow (with alpha)
    QColor text;
    QColor mutedText;    // headings, fixed captions
    QColor readout, readoutBorder, readoutText;
    QColor accent;       // focus ring, selection
    QColor button, buttonText;
    QColor lampRim;
};

const ThemeColors& ColorsOf(Theme theme);
// The theme the application was last given by ApplyTheme.
Theme CurrentTheme();
const ThemeColors& CurrentColors();

// Sets the palette and style sheet of the whole application.
void ApplyTheme(QApplication& app, Theme theme);

// The window's settings file: the theme chosen from the menu.
class WindowSettings {
public:
    explicit WindowSettings(QString path) : path_(std::move(path)) {}
    // The stored theme; Light when none is stored or the file cannot be read.
    Theme LoadTheme() const;
    // False when the file could not be written (the choice then lasts for
    // this run only).
    bool SaveTheme(Theme theme) const;
    const QString& Path() const { return path_; }

private:
    QString path_;
};

} // namespace zrk
