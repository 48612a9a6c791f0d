// The application object of the app tests: one TParlomixApp for the whole
// test program, made before the first test and gone after the last.
#include <gtest/gtest.h>

#include "application.h"

namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { app_ = new TParlomixApp(argc_, argv_); }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  int argc_ = 1;
  char name_[16] = "parlomix-tests";
  char* argv_[2] = {name_, nullptr};
  TParlomixApp* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
