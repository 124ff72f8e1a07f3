#pragma once
// Message boxes: one function with the owner, text, title and style. The real one is a
// QMessageBox; tests install a handler that records the box and answers for the user.
#include <QString>
#include <functional>

class QWidget;

inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

using MessageBoxHandler = std::function<int(QWidget* owner, const QString& text, const QString& title, unsigned style)>;

int ShowMessageBox(QWidget* owner, const QString& text, const QString& title = QString(), unsigned style = MB_OK);
// Replaces the real box (tests); an empty handler restores it. Returns the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
