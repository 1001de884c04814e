#pragma once
// Helpers the program's windows share: text between the two string types, and
// handlers that report an error instead of letting it out into the event loop.

#include <exception>
#include <functional>
#include <string>

#include <QString>
#include <QTimer>

#include "base/Dialogs.h"

// The caption of the main window, and of the board window while no engine is loaded
// and once one was unloaded.
inline constexpr char PROGRAM_CAPTION[] = "Brovanel 0.1";

inline QString ToQString(const std::string& text) { return QString::fromStdString(text); }

// Runs `work`; an exception is shown to the user and goes no further.
inline void RunGuarded(const std::function<void()>& work) noexcept {
  try {
    work();
  } catch (const std::exception& error) {
    try {
      Dialogs().ShowMessage(error.what());
    } catch (...) {
    }
  } catch (...) {
    try {
      Dialogs().ShowMessage("Unexpected error");
    } catch (...) {
    }
  }
}

// A stopped timer named after its component.
inline QTimer* NamedTimer(QObject* owner, const char* name, int interval) {
  auto* timer = new QTimer(owner);
  timer->setObjectName(QString::fromLatin1(name));
  timer->setInterval(interval);
  return timer;
}

// `work` wrapped for a signal connection or a timer.
template <typename F>
auto Guarded(F work) {
  return [work = std::move(work)] { RunGuarded(work); };
}
