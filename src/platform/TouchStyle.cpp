#include "TouchStyle.h"

TouchStyle::TouchStyle(int minimumTarget, QObject *parent)
    : m_minimumTarget(minimumTarget)
{
    setParent(parent);
}

QSize TouchStyle::sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                                   const QWidget *widget) const
{
    const QSize natural = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type != CT_MenuBarItem)
        return natural;
    return natural.expandedTo(QSize(m_minimumTarget, m_minimumTarget));
}
