#include "scene/qt/GLQtCadencer.h"

#include "scene/gl/GLContext.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>

#include <chrono>
#include <exception>
#include <memory>

namespace {

// The type of the tick events, registered once.
QEvent::Type TickEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

// A tick, with the millisecond it was posted in.
class TTickEvent : public QEvent {
public:
  explicit TTickEvent(std::int64_t postedAt) : QEvent(TickEventType()), PostedAt(postedAt) {}
  std::int64_t PostedAt;
};

std::int64_t SteadyMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::unique_ptr<TQtCadencerTicker>& InstalledTicker() {
  static std::unique_ptr<TQtCadencerTicker> ticker;
  return ticker;
}

}  // namespace

TQtCadencerTicker::TQtCadencerTicker() : Milliseconds(SteadyMilliseconds) {}

TQtCadencerTicker::~TQtCadencerTicker() {
  if (CadencerTicker() == this) SetCadencerTicker(nullptr);
  // A tick still queued goes with the object.
}

void TQtCadencerTicker::Start() {
  FRunning = true;
  // At most one tick is ever queued: one left from before a Stop serves again.
  if (!FPosted && FTimerId == 0) PostTick();
}

void TQtCadencerTicker::Stop() {
  FRunning = false;
  if (FTimerId != 0) {
    killTimer(FTimerId);
    FTimerId = 0;
  }
  FSameTickCount = 0;
}

void TQtCadencerTicker::ProcessPendingEvents() { QCoreApplication::processEvents(); }

bool TQtCadencerTicker::Terminating() const { return QCoreApplication::closingDown(); }

void TQtCadencerTicker::PostTick() {
  FPosted = true;
  // Low priority: events posted at normal priority (queued calls) go first.
  QCoreApplication::postEvent(this, new TTickEvent(Milliseconds()), Qt::LowEventPriority);
}

bool TQtCadencerTicker::event(QEvent* event) {
  if (event->type() != TickEventType()) return QObject::event(event);
  FPosted = false;
  if (!FRunning) return true;
  // Ticks handled in the millisecond they were posted in mean the queue holds
  // nothing else; that many in a row and the chain yields to a 1 ms timer.
  if (static_cast<TTickEvent*>(event)->PostedAt == Milliseconds()) {
    if (++FSameTickCount >= SAME_TICK_LIMIT) {
      FSameTickCount = 0;
      FTimerId = startTimer(1, Qt::PreciseTimer);
      if (FTimerId != 0) return true;
      // Without a timer the chain goes on as it was.
    }
  } else {
    FSameTickCount = 0;
  }
  Tick();
  return true;
}

void TQtCadencerTicker::timerEvent(QTimerEvent* event) {
  if (event->timerId() != FTimerId) {
    QObject::timerEvent(event);
    return;
  }
  killTimer(FTimerId);
  FTimerId = 0;
  FSameTickCount = 0;
  if (FRunning) Tick();
}

void TQtCadencerTicker::Tick() {
  // Nothing may leave an event handler.
  try {
    ProgressASAPCadencers();
  } catch (const std::exception& e) {
    LogGLProblem("The cadencers' tick failed: " + std::string(e.what()));
  } catch (...) {
    LogGLProblem("The cadencers' tick failed");
  }
  if (FRunning && !FPosted && FTimerId == 0) PostTick();
}

void InstallQtCadencerTicker() {
  auto& ticker = InstalledTicker();
  if (ticker) return;
  ticker = std::make_unique<TQtCadencerTicker>();
  SetCadencerTicker(ticker.get());
}

void RemoveQtCadencerTicker() { InstalledTicker().reset(); }
