#include "ui/Theme.h"

#include <QApplication>
#include <QPalette>
#include <QSettings>
#include <QStyleFactory>

namespace zrk {

namespace {

Theme g_current = Theme::Light;

const ThemeColors kLight{
    .window = QColor(0xe6, 0xea, 0xef),
    .panel = QColor(0xfb, 0xfc, 0xfd),
    .panelBorder = QColor(0xc3, 0xcc, 0xd6),
    .titleTop = QColor(0x3d, 0x6f, 0xa3),
    .titleBottom = QColor(0x2f, 0x5b, 0x88),
    .titleText = QColor(0xff, 0xff, 0xff),
    .shadow = QColor(0x20, 0x30, 0x40, 46),
    .text = QColor(0x1c, 0x25, 0x30),
    .mutedText = QColor(0x4d, 0x5b, 0x6b),
    .readout = QColor(0xee, 0xf2, 0xf6),
    .readoutBorder = QColor(0xc6, 0xcf, 0xd9),
    .readoutText = QColor(0x10, 0x2a, 0x48),
    .accent = QColor(0x2f, 0x80, 0xed),
    .button = QColor(0xf0, 0xf3, 0xf6),
    .buttonText = QColor(0x1c, 0x25, 0x30),
    .lampRim = QColor(0x55, 0x5e, 0x68),
};

const ThemeColors kDark{
    .window = QColor(0x1b, 0x1f, 0x24),
    .panel = QColor(0x27, 0x2d, 0x34),
    .panelBorder = QColor(0x3b, 0x44, 0x4e),
    .titleTop = QColor(0x34, 0x4f, 0x6d),
    .titleBottom = QColor(0x29, 0x3f, 0x58),
    .titleText = QColor(0xe8, 0xee, 0xf4),
    .shadow = QColor(0x00, 0x00, 0x00, 90),
    .text = QColor(0xe1, 0xe6, 0xec),
    .mutedText = QColor(0xa0, 0xae, 0xbd),
    .readout = QColor(0x1c, 0x21, 0x27),
    .readoutBorder = QColor(0x45, 0x4f, 0x5a),
    .readoutText = QColor(0x9f, 0xd4, 0xff),
    .accent = QColor(0x5a, 0xa9, 0xf0),
    .button = QColor(0x35, 0x3d, 0x47),
    .buttonText = QColor(0xe1, 0xe6, 0xec),
    .lampRim = QColor(0x10, 0x12, 0x15),
};

QPalette PaletteOf(const ThemeColors& c)
{
    QPalette p;
    p.setColor(QPalette::Window, c.window);
    p.setColor(QPalette::WindowText, c.text);
    p.setColor(QPalette::Base, c.readout);
    p.setColor(QPalette::AlternateBase, c.panel);
    p.setColor(QPalette::Text, c.text);
    p.setColor(QPalette::Button, c.button);
    p.setColor(QPalette::ButtonText, c.buttonText);
    p.setColor(QPalette::Highlight, c.accent);
    p.setColor(QPalette::HighlightedText, QColor(Qt::white));
    p.setColor(QPalette::ToolTipBase, c.panel);
    p.setColor(QPalette::ToolTipText, c.text);
    p.setColor(QPalette::PlaceholderText, c.mutedText);
    p.setColor(QPalette::Light, c.button.lighter(125));
    p.setColor(QPalette::Midlight, c.button.lighter(110));
    p.setColor(QPalette::Mid, c.panelBorder);
    p.setColor(QPalette::Dark, c.panelBorder.darker(130));
    p.setColor(QPalette::Shadow, QColor(0, 0, 0));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, c.mutedText);
    return p;
}

QString StyleSheetOf(const ThemeColors& c)
{
    // Readouts are sunken value boxes; focus shows as an accent ring, so the
    // keyboard's place is always visible.
    return QStringLiteral(
               "QLabel[role=\"readout\"] { background: %1; border: 1px solid %2; border-radius: 4px;"
               " color: %3; padding: 0px 5px; font-family: 'DejaVu Sans Mono', monospace; }"
               "QLabel[role=\"heading\"] { color: %4; font-weight: bold; }"
               "QLabel[role=\"caption\"] { color: %5; }"
               "QLabel[role=\"tag\"] { background: %6; color: white; border-radius: 4px; font-weight: bold; }"
               "QPlainTextEdit { background: %1; border: 1px solid %2; border-radius: 4px; color: %5;"
               " font-family: 'DejaVu Sans Mono', monospace; }"
               "QPushButton { background: %7; color: %8; border: 1px solid %2; border-radius: 5px;"
               " padding: 3px 8px; }"
               "QPushButton:hover { border-color: %6; }"
               "QPushButton:pressed { background: %2; }"
               // A toggle that is on (a HOLD, the flight's speed) looks
               // pressed in: the accent's face with light text.
               // The selected item of a selector stands out by more than its
               // small dot.
               "QRadioButton:checked { color: %6; font-weight: bold; }"
               "QPushButton:checked { background: %6; color: white; border-color: %6; }"
               "QLineEdit[role=\"edit\"] { background: %1; color: %5; border: 1px solid %2; border-radius: 4px;"
               " padding: 0px 3px; }"
               "QPushButton:focus, QLineEdit[role=\"edit\"]:focus { border: 1px solid %6; }")
        .arg(c.readout.name(), c.readoutBorder.name(), c.readoutText.name(), c.mutedText.name(), c.text.name(),
             c.accent.name(), c.button.name(), c.buttonText.name());
}

} // namespace

std::optional<Theme> ParseTheme(const QString& text)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("light"))
        return Theme::Light;
    if (t == QLatin1String("dark"))
        return Theme::Dark;
    return std::nullopt;
}

QString ThemeName(Theme theme)
{
    return theme == Theme::Dark ? QStringLiteral("dark") : QStringLiteral("light");
}

const ThemeColors& ColorsOf(Theme theme)
{
    return theme == Theme::Dark ? kDark : kLight;
}

Theme CurrentTheme()
{
    return g_current;
}

const ThemeColors& CurrentColors()
{
    return ColorsOf(g_current);
}

void ApplyTheme(QApplication& app, Theme theme)
{
    g_current = theme;
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);
    const ThemeColors& c = ColorsOf(theme);
    app.setPalette(PaletteOf(c));
    app.setStyleSheet(StyleSheetOf(c));
}

Theme WindowSettings::LoadTheme() const
{
    const QSettings s(path_, QSettings::IniFormat);
    return ParseTheme(s.value(QStringLiteral("Window/Theme")).toString()).value_or(Theme::Light);
}

bool WindowSettings::SaveTheme(Theme theme) const
{
    QSettings s(path_, QSettings::IniFormat);
    s.setValue(QStringLiteral("Window/Theme"), ThemeName(theme));
    s.sync();
    return s.status() == QSettings::NoError;
}

} // namespace zrk
