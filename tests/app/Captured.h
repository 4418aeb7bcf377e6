// What a console wrote, read back from the stream it was given.
#pragma once

#include <cstdio>
#include <string>

namespace app::test {

// What write printed to the stream it is given (a console's).
template <class Write>
std::string Captured(Write&& write) {
  std::FILE* stream = std::tmpfile();
  write(stream);
  std::fflush(stream);
  std::rewind(stream);
  std::string text;
  char buffer[4096];
  for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, stream)) > 0;) text.append(buffer, read);
  std::fclose(stream);
  return text;
}

}  // namespace app::test
