// The password does not outlive its use: control records and secret texts wipe it.
#include "export/secret.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "export/ar_connection.h"

namespace {

bool Holds(const unsigned char* bytes, size_t n, const std::string& text) {
  return std::search(bytes, bytes + n, text.begin(), text.end()) != bytes + n;
}

TEST(ControlRecord, IsFilledAsTheLibraryExpectsAndWipedWhenItGoesAway) {
  alignas(norvel::ControlRecord) unsigned char storage[sizeof(norvel::ControlRecord)];
  auto* record =
      new (storage) norvel::ControlRecord(std::string(70, 's'), "a-user-name-longer-than-thirty",
                                          "Pw-0123456789-0123456789-0123456789");
  const ARControlStruct& r = record->record();
  EXPECT_EQ(std::string(r.user), "a-user-name-longer-than-thirty");  // 30 characters kept
  EXPECT_EQ(std::string(r.password), "Pw-0123456789-0123456789-01234");
  EXPECT_EQ(std::string(r.server), std::string(64, 's'));
  EXPECT_EQ(r.language[0], '\0');
  EXPECT_EQ(r.sessionId, 0u);
  EXPECT_TRUE(Holds(storage, sizeof storage, "Pw-0123456789"));
  record->~ControlRecord();
  EXPECT_FALSE(Holds(storage, sizeof storage, "Pw-0123456789"));
}

TEST(SecretText, ClearingWipesTheCharacters) {
  norvel::SecretText secret;
  secret.Assign(std::string("correct horse battery staple"));
  const char* data = secret.str().data();
  size_t n = secret.str().size();
  EXPECT_EQ(std::string(data, n), "correct horse battery staple");
  secret.Clear();
  EXPECT_TRUE(secret.empty());
  // The buffer stays allocated after clear(); what it held is gone.
  EXPECT_EQ(std::string(data, n), std::string(n, '\0'));
}

}  // namespace
