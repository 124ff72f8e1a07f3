#include "controls/ToolTipCtrl.h"

void CToolTipCtrl::AddTool(QWidget* control, const QString& text)
{
    if (!control) return;
    control->setToolTip(text);
    for (Tool& t : m_tools)
        if (t.control == control) {
            t.text = text;
            return;
        }
    m_tools.push_back({control, text});
}

QString CToolTipCtrl::GetToolText(const QWidget* control) const
{
    for (const Tool& t : m_tools)
        if (t.control == control) return t.text;
    return {};
}
