#pragma once

#include "config/configrecord.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QTimer>
#include <QWidget>

#include <cmath>
#include <functional>

Q_DECLARE_METATYPE(ConfigBlock)

// Widget of a dialog by object name; warns when missing.
template <class T>
T* widget(QWidget* dialog, const QString& name)
{
    T* w = dialog->findChild<T*>(name);
    if (!w)
        qWarning("no widget %s", qPrintable(name));
    return w;
}

// Random bytes, with the parameters whose configuration dialog widget shows
// fewer values than their field limited to what it shows.
inline ConfigBlock blockFittingConfigDlg(QRandomGenerator& rng)
{
    ConfigBlock block;
    for (quint8& b : block)
        b = static_cast<quint8>(rng.bounded(256));
    const struct { int param, max; } limits[] = {{29, 4}, {0, 2},  {18, 1}, {19, 1}, {17, 99}, {61, 1},
                                                 {60, 3}, {62, 2}, {63, 2}, {64, 1}, {65, 1},  {66, 1},
                                                 {67, 1}, {68, 1}, {69, 1}, {72, 2}, {73, 1}};
    for (const auto& l : limits)
        setParam(block, l.param, static_cast<int>(rng.bounded(l.max + 1)));
    for (const auto& [param, digits] : {std::pair{20, 6}, {21, 4}, {22, 4}})
        setParam(block, param, QString::number(rng.bounded(int(std::pow(10, digits)))).rightJustified(digits, '0'));
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
