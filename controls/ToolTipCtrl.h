#pragma once
// The tool tips of a window's controls: one tool per control, its text shown while the mouse
// rests on the control.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <vector>

class CToolTipCtrl : public QObject {
public:
    explicit CToolTipCtrl(QObject* parent = nullptr) : QObject(parent) {}

    // Adds the control's tool; a control that has one already gets the new text instead, so
    // a control never shows a text of an earlier language.
    void AddTool(QWidget* control, const QString& text);
    int GetToolCount() const { return static_cast<int>(m_tools.size()); }
    // The control's text; empty without a tool.
    QString GetToolText(const QWidget* control) const;

private:
    struct Tool {
        QPointer<QWidget> control;
        QString text;
    };
    std::vector<Tool> m_tools;
};
