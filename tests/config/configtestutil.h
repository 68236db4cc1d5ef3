#pragma once

#include "config/configrecord.h"

#include <QAbstractButton>
#include <QApplication>
#include <QRandomGenerator>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

// Widget of a dialog by object name; fails the test when missing.
template <class T>
T* widget(QWidget* dialog, const QString& name)
{
    T* w = dialog->findChild<T*>(name);
    if (!w)
        qWarning("no widget %s", qPrintable(name));
    return w;
}

inline QString pinDigits(QRandomGenerator& rng, int count)
{
    QString pin;
    for (int i = 0; i < count; ++i)
        pin += QChar('0' + static_cast<int>(rng.bounded(10)));
    return pin;
}

// Random bytes everywhere, then the parameters that have a configuration
// dialog widget with fewer values than their field limited to what it shows.
inline ConfigBlock blockFittingConfigDlg(QRandomGenerator& rng)
{
    ConfigBlock block;
    for (quint8& b : block)
        b = static_cast<quint8>(rng.bounded(256));
    const struct
    {
        int param;
        int max;
    } limits[] = {{29, 4}, {0, 2}, {18, 1}, {19, 1}, {17, 99}, {61, 1}, {60, 3}, {62, 2}, {63, 2},
                  {64, 1}, {65, 1}, {66, 1}, {67, 1}, {68, 1}, {69, 1}, {72, 2}, {73, 1}};
    for (const auto& l : limits)
        setParam(block, l.param, static_cast<int>(rng.bounded(l.max + 1)));
    setParam(block, 20, pinDigits(rng, 6));
    setParam(block, 21, pinDigits(rng, 4));
    setParam(block, 22, pinDigits(rng, 4));
    return block;
}

// Runs action on the next modal dialog once it is shown (from inside its exec()).
inline void onNextModal(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start();
}

// Clicks the named button of the next modal dialog.
inline void clickOnNextModal(const QString& buttonName, std::function<void(QWidget*)> before = {})
{
    onNextModal([buttonName, before](QWidget* modal) {
        if (before)
            before(modal);
        if (auto* b = modal->findChild<QAbstractButton*>(buttonName))
            b->click();
        else
            modal->close();
    });
}
