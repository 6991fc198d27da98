// launcher-brand on Linux (see brand_copy.h): arguments and output in UTF-8.
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "brand/brand_copy.h"
#include "brand/utf8_escaped.h"

namespace {

void Print(std::FILE* stream, const WideText& text) {
  const std::string utf8 = EncodeUtf8Escaped(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}

}  // namespace

int main(int argc, char** argv) {
  // Under a file-size limit, as build machines set, a write past it then
  // fails with EFBIG, which the tool reports, instead of killing it.
  std::signal(SIGXFSZ, SIG_IGN);
  std::vector<WideText> arguments;
  for (int index = 1; index < argc; ++index) arguments.push_back(DecodeUtf8Escaped(argv[index]));
  const BrandToolRun run = RunBrandTool(arguments);
  Print(stdout, run.output);
  Print(stderr, run.errors);
  return run.status;
}
