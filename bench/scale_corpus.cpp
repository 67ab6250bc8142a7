// Writes a corpus for the scale benchmark, of many small documents:
//   scale_corpus DEST COUNT
// or of many distinct words, as a helpdesk's request IDs and host names bring them:
//   scale_corpus --words DEST WORDS
// Document k of the latter holds 1,000 words of its own, "hd" and a 13-digit number
// (word i is hd followed by i, i counting from 0), and "scaleall".
// Document k (1 to COUNT) is DEST/dNNNNNNN.txt, so that the listing's byte order gives it
// file number k. Each holds 8 to 24 words drawn from a Zipf-like mix over a vocabulary of
// 300,000 made-up words (under the words limit however many documents there are), plus:
//   "scaleall"     in every document          (a search that hits them all)
//   "tagNNNNN"     NNNNN = k % 100,000         (a search that hits a few)
//   "edgeK"        in the documents next to every 500,000th, and in the first and last
// Two threads write; the content depends only on k.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kVocabulary = 300000;

std::string MadeUpWord(uint32_t i) {
  static const char kConsonants[] = "bcdfghjklmnprstvwz";
  static const char kVowels[] = "aeiou";
  std::string w;
  uint32_t n = i + 90;  // two syllables at least
  while (n) {
    uint32_t syllable = n % 90;
    n /= 90;
    w += kConsonants[syllable / 5];
    w += kVowels[syllable % 5];
  }
  return w;
}

uint64_t Mix(uint64_t x) {
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDull;
  x ^= x >> 33;
  x *= 0xC4CEB9FE1A85EC53ull;
  return x ^ (x >> 33);
}

bool IsEdge(uint32_t k, uint32_t count) {
  if (k == 1 || k == count) return true;
  uint32_t r = k % 500000;
  return r == 0 || r == 1 || r == 499999;
}

void Write(const std::string& dest, uint32_t count, uint32_t from, uint32_t step,
           const std::vector<std::string>& words, const std::vector<double>& cdf) {
  std::string text;
  char name[64];
  for (uint32_t k = from; k <= count; k += step) {
    uint64_t state = Mix(k * 0x9E3779B97F4A7C15ull);
    text = "scaleall ";
    uint32_t n = 8 + static_cast<uint32_t>(state % 17);
    for (uint32_t i = 0; i < n; ++i) {
      state = Mix(state + i + 1);
      double u = static_cast<double>(state >> 11) / 9007199254740992.0;
      size_t w = static_cast<size_t>(std::lower_bound(cdf.begin(), cdf.end(), u) - cdf.begin());
      text += words[std::min<size_t>(w, words.size() - 1)];
      text += (state & 0xF00) == 0 ? ".\n" : " ";
    }
    text += "tag" + std::to_string(k % 100000);
    if (IsEdge(k, count)) text += " edge" + std::to_string(k);
    text += '\n';
    std::snprintf(name, sizeof name, "/d%07u.txt", k);
    int fd = open((dest + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
      std::perror(name);
      std::exit(1);
    }
    close(fd);
  }
}

void WriteFile(const std::string& path, const std::string& text) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    std::perror(path.c_str());
    std::exit(1);
  }
  close(fd);
}

// The distinct-words corpus: document k (from 1) holds words (k - 1) * 1,000 on.
void WriteWords(const std::string& dest, uint32_t words) {
  constexpr uint32_t kPerDocument = 1000;
  char word[32], name[64];
  for (uint32_t k = 1; (k - 1) * kPerDocument < words; ++k) {
    std::string text = "scaleall\n";
    for (uint32_t i = (k - 1) * kPerDocument; i < k * kPerDocument && i < words; ++i) {
      std::snprintf(word, sizeof word, "HD%013u%c", i, i % 10 == 9 ? '\n' : ' ');
      text += word;
    }
    std::snprintf(name, sizeof name, "/d%07u.txt", k);
    WriteFile(dest + name, text);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--words") {
    mkdir(argv[2], 0755);
    WriteWords(argv[2], static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)));
    return 0;
  }
  if (argc != 3) {
    std::fprintf(stderr,
                 "usage: scale_corpus DEST COUNT\n       scale_corpus --words DEST WORDS\n");
    return argc == 2 && std::string(argv[1]) == "--help" ? 0 : 2;
  }
  std::string dest = argv[1];
  uint32_t count = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  mkdir(dest.c_str(), 0755);
  std::vector<std::string> words(kVocabulary);
  std::vector<double> cdf(kVocabulary);
  double sum = 0;
  for (uint32_t i = 0; i < kVocabulary; ++i) {
    words[i] = MadeUpWord(i);
    sum += 1.0 / std::pow(i + 1.0, 1.05);
    cdf[i] = sum;
  }
  for (double& c : cdf) c /= sum;
  std::thread other(Write, dest, count, 2, 2, std::cref(words), std::cref(cdf));
  Write(dest, count, 1, 2, words, cdf);
  other.join();
  return 0;
}
