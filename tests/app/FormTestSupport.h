#pragma once
// The program's windows in a test: the main window made as the program makes it, its
// board window once the start-up tick has made it, recorded dialogs, and waits that
// keep the event loop running.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

#include "app/Main.h"
#include "app/maindefine.h"
#include "app/uchess.h"
#include "app/utility.h"
#include "tests/base/RecordingDialogs.h"

// Runs the event loop until `done` holds (true) or `timeoutMs` passes (false). The
// default is far beyond what engines and drawn frames need on a busy machine.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 60000) {
  return QTest::qWaitFor(done, timeoutMs);
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A folder of the test's own, removed afterwards.
inline std::filesystem::path TestFolder(const std::string& kind) {
  auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                 ("brv " + kind + " " + test->name() + "." + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

class MainWindow : public ::testing::Test {
protected:
  void SetUp() override {
    BitBoards = TBitBoards{};
    EngineThinking = false;
    Form = std::make_unique<TForm1>();
    ASSERT_TRUE(WaitFor([this] { return Form->FormOpengl != nullptr; }));
    Board = Form->FormOpengl;
  }
  void TearDown() override {
    Form.reset();
    QCoreApplication::processEvents();
  }

  TRecordingDialogs Recorded;
  std::unique_ptr<TForm1> Form;
  TFormOpengl* Board = nullptr;
};
