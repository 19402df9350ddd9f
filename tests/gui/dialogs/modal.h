#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <string_view>

namespace rg::test {

// The suites of test_gui_dialogs by name; each .cpp registers its own.
using SuiteFactory = std::function<std::unique_ptr<QObject>()>;
std::map<const char*, SuiteFactory>& dialog_suites();

struct SuiteRegistration {
    SuiteRegistration(const char* name, SuiteFactory make) {
        dialog_suites().emplace(name, std::move(make));
    }
};

#define RG_DIALOG_SUITE(Type)                                     \
    static const rg::test::SuiteRegistration registration_##Type( \
        #Type, [] { return std::unique_ptr<QObject>(new Type); })

inline constexpr int kModalPollMs = 5;
inline constexpr int kModalWaitMs = 10000;

// Runs `act` on the modal widget of type T as soon as the event loop shows one on top (a dialog's
// exec or a message box). Gives up with a warning after kModalWaitMs.
template <class T>
void when_modal(std::function<void(T*)> act) {
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(kModalPollMs);
    QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act), clock] {
        if (auto* widget = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(widget);
        } else if (clock->elapsed() > kModalWaitMs) {
            timer->stop();
            timer->deleteLater();
            qWarning("no modal dialog of the expected type appeared");
        }
    });
    timer->start();
}

}  // namespace rg::test
