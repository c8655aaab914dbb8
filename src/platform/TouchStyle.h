#pragma once

#include <QProxyStyle>

// The application's style, with menu bar items no smaller than a given target (0: as the style draws them).
class TouchStyle : public QProxyStyle
{
    Q_OBJECT

public:
    explicit TouchStyle(int minimumTarget, QObject *parent = nullptr);

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override;

private:
    int m_minimumTarget;
};
