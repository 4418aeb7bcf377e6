// The tests run under a UTF-8 locale, as a host does: the driver manager
// converts wide text by it for the ANSI SQLite3 driver.
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
