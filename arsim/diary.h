// The server's encoding of diary fields, as ARDecodeDiary takes it:
// "<time>\x04<user>\x04<text>\x03" per item, the last separator optional.
#pragma once

#include <string>
#include <vector>

#include "arsim/fixture.h"

namespace arsim {

std::string EncodeDiary(const std::vector<DiaryItem>& items);

// False with a reason when an item lacks its separators or its time is not a number.
bool DecodeDiary(const std::string& encoded, std::vector<DiaryItem>* items, std::string* error);

}  // namespace arsim
