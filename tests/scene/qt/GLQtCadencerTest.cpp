// The cadencers' ticker on a real Qt event loop.

#include "scene/qt/GLQtCadencer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

class GLQtCadencerTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "sceneqt_cadencer_tests";
    static char* argv[] = {name, nullptr};
    app = new QCoreApplication(argc, argv);
  }
  static void TearDownTestSuite() { delete app; }
  void SetUp() override {
    SetGLLogSink([this](const std::string& text) { Logged.push_back(text); });
  }
  void TearDown() override {
    SetCadencerTicker(nullptr);
    SetGLLogSink(nullptr);
  }

  static QCoreApplication* app;
  std::vector<std::string> Logged;
  TGLScene Scene{nullptr};
};

QCoreApplication* GLQtCadencerTest::app = nullptr;

TEST_F(GLQtCadencerTest, TicksLeaveTimersAndQueuedCallsTheirTurnAndSurviveAFailingStep) {
  TQtCadencerTicker ticker;
  SetCadencerTicker(&ticker);
  int ticks = 0, timerShots = 0, postedAt = -1, ranAt = -1, failures = 0;
  TGLCadencer cadencer(nullptr);
  cadencer.OnProgress = [&](TObject*, double, double) {
    if (++ticks == 100) {
      postedAt = ticks;
      QMetaObject::invokeMethod(app, [&] { ranAt = ticks; }, Qt::QueuedConnection);
    }
  };
  TGLCadencer failing(nullptr);
  failing.OnProgress = [&](TObject*, double, double) {
    ++failures;
    throw std::runtime_error("broken step");
  };
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&] { ++timerShots; });
  timer.start();
  cadencer.SetScene(&Scene);
  failing.SetScene(&Scene);
  EXPECT_TRUE(ticker.Running());

  // Until the cadencers have stepped often and the timer has had its turns meanwhile;
  // the deadline is only for a ticker that starves the timer or stops.
  QEventLoop loop;
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, [&] {
    if (ticks > 200 && failures > 200 && timerShots >= 10) loop.quit();
  });
  check.start(10);
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);
  loop.exec();

  EXPECT_GT(ticks, 200);
  EXPECT_GE(timerShots, 10);
  // The queued call comes before the next tick: ticks post themselves at low priority.
  EXPECT_EQ(ranAt, postedAt);
  EXPECT_GT(failures, 200);
  ASSERT_FALSE(Logged.empty());
  EXPECT_EQ(Logged.front(), "A cadencer step failed: broken step");

  // Without ticking cadencers the ticker stops, and a tick left queued does nothing.
  cadencer.SetEnabled(false);
  failing.SetEnabled(false);
  EXPECT_FALSE(ticker.Running());
  const int stopped = ticks;
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(ticks, stopped);
}

TEST_F(GLQtCadencerTest, AFloodOfTicksWithinOneMillisecondYieldsToATimer) {
  TQtCadencerTicker ticker;
  ticker.Milliseconds = [] { return std::int64_t(7); };  // every tick handled in the millisecond it was posted
  SetCadencerTicker(&ticker);
  int ticks = 0;
  TGLCadencer cadencer(nullptr);
  cadencer.OnProgress = [&](TObject*, double, double) { ++ticks; };
  cadencer.SetScene(&Scene);

  while (ticks < TQtCadencerTicker::SAME_TICK_LIMIT - 1) QCoreApplication::processEvents();
  EXPECT_FALSE(ticker.FallbackTimerActive());
  QCoreApplication::sendPostedEvents(&ticker);
  EXPECT_TRUE(ticker.FallbackTimerActive());
  EXPECT_EQ(ticks, TQtCadencerTicker::SAME_TICK_LIMIT - 1);

  // The timer's shot steps once and starts the chain again.
  while (ticks < TQtCadencerTicker::SAME_TICK_LIMIT + 10) {
    QThread::msleep(1);
    QCoreApplication::processEvents();
  }
  EXPECT_FALSE(ticker.FallbackTimerActive());
}

}  // namespace
