// One QApplication for a whole Qt test program: made before the first test,
// destroyed after the last, on the platform QT_QPA_PLATFORM names. Including
// this header registers it.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "platform/qt/qt_platform.h"

namespace tarnwick::testing {

class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "tarnwick_qt_test";
    static char* argv[] = {name, nullptr};
    application_ = qt::MakeApplication(argc, argv);
  }
  void TearDown() override { application_.reset(); }

 private:
  std::unique_ptr<QApplication> application_;
};

inline ::testing::Environment* const kQtApplicationEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace tarnwick::testing
