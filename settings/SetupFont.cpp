#include "settings/SetupFont.h"

#include <QStringList>

QFont SetupDialogFont(int language, int pointSize)
{
    // Latin metrics come first so that every language lays out on the same dialog units;
    // the CJK face only supplies the glyphs Liberation Sans lacks.
    const QString cjk = language == 0 ? QStringLiteral("Noto Sans CJK JP") : QStringLiteral("Noto Sans CJK KR");
    static const bool substituted = [] {
        QFont::insertSubstitutions(QStringLiteral("MS Shell Dlg"),
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("Noto Sans CJK JP")});
        return true;
    }();
    (void)substituted;
    QFont font(QStringLiteral("Liberation Sans"));
    font.setFamilies({QStringLiteral("Liberation Sans"), cjk});
    font.setPointSize(pointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}
