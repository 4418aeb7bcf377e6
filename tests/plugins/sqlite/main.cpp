// The SQLite3 ODBC driver is an ANSI driver: the driver manager converts
// wide SQL text by the process locale, so the tests run under a UTF-8 one.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>

int main(int argc, char** argv) {
  const char* locale = std::setlocale(LC_ALL, "");
  if (locale == nullptr || std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0)
    std::setlocale(LC_ALL, "C.UTF-8");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
