#include "rilo/Diagnostics.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "api/DiagnosticLine.h"
#include "db/PasswordMask.h"

namespace rilo {
namespace {

TEST(Diagnostics, ParsesTheFiveLevelNames) {
  LogLevel level = LogLevel::kOff;
  EXPECT_TRUE(ParseLogLevel("debug", level));
  EXPECT_EQ(level, LogLevel::kDebug);
  EXPECT_TRUE(ParseLogLevel("warning", level));
  EXPECT_EQ(level, LogLevel::kWarning);
  EXPECT_TRUE(ParseLogLevel("off", level));
  EXPECT_EQ(level, LogLevel::kOff);
  for (const char* text : {"", "Warning", "warn", "error ", "5"}) {
    level = LogLevel::kInfo;
    EXPECT_FALSE(ParseLogLevel(text, level)) << text;
    EXPECT_EQ(level, LogLevel::kInfo) << "left alone on failure";
  }
}

TEST(Diagnostics, LineNamesLevelAndPlace) {
  EXPECT_EQ(FormatDiagnosticLine(LogLevel::kWarning, "daily summary job",
                                      "open connection failed: login refused"),
            "[warning] daily summary job: open connection failed: login refused");
}

TEST(Diagnostics, PasswordsAreNeverWritten) {
  EXPECT_EQ(db::MaskPasswords("Driver=x;Server=s;UID=sa;PWD=secret;Database=d"),
            "Driver=x;Server=s;UID=sa;PWD=***;Database=d");
  EXPECT_EQ(db::MaskPasswords("uid=sa;Password={se;cr}}et};Database=d"),
            "uid=sa;Password=***;Database=d");
  EXPECT_EQ(db::MaskPasswords("pwd=tail"), "pwd=***");
  EXPECT_EQ(db::MaskPasswords("MyPWD=notakey"), "MyPWD=notakey");
  EXPECT_EQ(FormatDiagnosticLine(LogLevel::kError, "link", "failed on PWD=abc"),
            "[error] link: failed on PWD=***");
}

TEST(Diagnostics, SinkWritesOnlyLevelsAsSevereAsAsked) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), &std::fclose);
  ASSERT_TRUE(file);
  auto sink = api::MakeFileSink(file.get(), LogLevel::kWarning);
  sink->Write(LogLevel::kError, "a", "one");
  sink->Write(LogLevel::kInfo, "b", "hidden");
  sink->Write(LogLevel::kWarning, "c", "two");
  sink->Write(LogLevel::kOff, "d", "never");
  std::rewind(file.get());
  std::string text;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, file.get()) != nullptr) text += buffer;
  EXPECT_EQ(text, "[error] a: one\n[warning] c: two\n");
}

}  // namespace
}  // namespace rilo
