#include "views/ExplorerMapViewWnd.h"

#include "views/WebBrowser2.h"

#include <QVBoxLayout>

CExplorerMapViewWnd::CExplorerMapViewWnd(QWidget* parent) : QWidget(parent) {}

CExplorerMapViewWnd::~CExplorerMapViewWnd() = default;

bool CExplorerMapViewWnd::Create(const QRect& rect, int nID)
{
    if (m_pBrowser) return false;
    m_nID = nID;
    setObjectName(QStringLiteral("control_%1").arg(nID));
    setGeometry(rect);
    m_pBrowser = new CWebBrowser2(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pBrowser);
    return true;
}

CExplorerMapViewWnd::ScriptText CExplorerMapViewWnd::ParseScriptText(const QString& text)
{
    ScriptText parsed;
    const QString prefix = QStringLiteral("javascript:");
    QString work = text;
    const qsizetype at = text.indexOf(prefix);
    if (at >= 0) work = text.mid(at + prefix.size());

    const qsizetype paren = work.indexOf(QLatin1Char('('));
    QString argText = work;
    if (paren >= 0) {
        parsed.name = work.left(paren).trimmed();
        argText = work.mid(paren + 1);
    }

    QString token;
    for (const QChar c : argText) {
        switch (c.unicode()) {
        case ' ': case ',': case '\'': case '"': case '\t': case '(': case ')': case ';':
            if (!token.isEmpty()) parsed.args.append(token);
            token.clear();
            break;
        default:
            token.append(c);
        }
    }
    if (!token.isEmpty()) parsed.args.append(token);
    return parsed;
}

QString CExplorerMapViewWnd::CallJScript(const QString& text)
{
    if (text.isEmpty()) return QString();
    const ScriptText parsed = ParseScriptText(text);
    if (!m_pBrowser || parsed.name.isEmpty()) return QString();
    QVariantList args;
    for (const QString& a : parsed.args) args.append(a);
    const CWebBrowser2::ScriptCall call = m_pBrowser->CallScriptFunction(parsed.name, args);
    return call.text.value_or(QString());
}

bool CExplorerMapViewWnd::PostJScript(const QString& text)
{
    if (text.isEmpty()) return false;
    if (m_lastPostText.isNull() || text != m_lastPostText) {
        const ScriptText parsed = ParseScriptText(text);
        m_lastPostText = text;
        m_lastPostName = parsed.name;
        m_lastPostArgs.clear();
        for (const QString& a : parsed.args) m_lastPostArgs.append(a);
    }
    if (!m_pBrowser || m_lastPostName.isEmpty()) return false;
    return m_pBrowser->PostScriptFunction(m_lastPostName, m_lastPostArgs);
}
