#include "unzip/EngineCall.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(EngineCallTest, OnlyTextsLongerThanOneAndShorterThan32000BytesArePassedOn) {
  std::string text(33000, 'x');
  text[40] = '\0';
  struct Case {
    unsigned long length;
    std::optional<std::string> expected;
  } cases[] = {
      {0, std::nullopt},
      {1, std::nullopt},
      {2, "xx"},
      {31999, std::string(40, 'x')},  // cut at the first zero byte
      {32000, std::nullopt},
      {32001, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EngineText(text.c_str(), c.length), c.expected) << "length " << c.length;
  }
  EXPECT_EQ(EngineText("abc", 2), "ab");  // no more than length bytes
  EXPECT_EQ(EngineText(nullptr, 5), std::nullopt);
}

TEST(EngineCallTest, SlashesBecomeBackslashes) {
  EXPECT_EQ(BackslashSeparators("/lead/a/b.txt"), "\\lead\\a\\b.txt");
  EXPECT_EQ(BackslashSeparators("none"), "none");
}

TEST(EngineCallTest, PasswordGoesIntoTheBufferWithinItsLimits) {
  struct Case {
    const char* name;
    std::string answer;
    int size;
    int result;
    std::string written;
  } cases[] = {
      {"plain", "secret", 256, 0, "secret"},
      {"blanks dropped", "  se cret ", 256, 0, "se cret"},
      {"cut to the buffer less one", "secret", 4, 0, "sec"},
      {"cut to 254 bytes", std::string(300, 'p'), 256, 0, std::string(254, 'p')},
      {"empty refuses", "", 256, 1, ""},
      {"blank refuses", "   ", 256, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string buffer(300, '#');
    bool refused = false;
    int asked = 0;
    auto ask = [&](std::string& password, bool& cancel) {
      ++asked;
      EXPECT_EQ(password, "");
      EXPECT_FALSE(cancel);
      password = c.answer;
    };
    EXPECT_EQ(AnswerPassword(buffer.data(), c.size, refused, ask), c.result);
    EXPECT_EQ(refused, c.result == 1);
    if (c.result == 0) {
      EXPECT_EQ(buffer.substr(0, c.written.size() + 1), c.written + '\0');
      EXPECT_EQ(buffer[c.written.size() + 1], '#');
    }
    // Once refused, the run is asked no more.
    AnswerPassword(buffer.data(), c.size, refused, ask);
    EXPECT_EQ(asked, c.result == 1 ? 1 : 2);
  }
}

TEST(EngineCallTest, CancelRefusesThePassword) {
  char buffer[16] = {};
  bool refused = false;
  EXPECT_EQ(AnswerPassword(buffer, sizeof buffer, refused,
                           [](std::string& password, bool& cancel) {
                             password = "secret";
                             cancel = true;
                           }),
            1);
  EXPECT_TRUE(refused);
  EXPECT_EQ(buffer[0], '\0');
}

TEST(EngineCallTest, MessageLogKeepsTheLastTenLines) {
  MessageLog log;
  EXPECT_EQ(log.Text(), "");
  for (int i = 1; i <= 12; ++i) log.Add("line " + std::to_string(i) + "\r\n");
  log.Add("   ");
  std::string expected;
  for (int i = 3; i <= 12; ++i) expected += (i > 3 ? "\r\n" : "") + ("line " + std::to_string(i));
  EXPECT_EQ(log.Text(), expected);
  log.Clear();
  EXPECT_EQ(log.Text(), "");
}

TEST(EngineCallTest, MissingLibraryRaisesTheSystemsErrorWithTheGivenSource) {
  try {
    EngineLibrary library("no-such-engine.dll", "here.mTest");
    FAIL() << "loaded a missing library";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(error.Source(), "here.mTest");
    EXPECT_NE(error.Description().find("no-such-engine.dll"), std::string::npos);
  }
  EngineLibrary library("cvunzip.dll", "here.mTest");
  try {
    library.Proc<void (*)()>("NoSuchEntryPoint");
    FAIL() << "found a missing entry point";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(error.Source(), "here.mTest");
    EXPECT_NE(error.Description().find("NoSuchEntryPoint"), std::string::npos);
  }
}

}  // namespace
}  // namespace corvane
