// The text of the entry files: field labels, field blocks by data type, diary blocks.
//
// A field block is "<<" label ">>" LF, three blanks, the value's text, LF. A diary block is
// "<<" label ">>" LF and three blanks, then per item its time in decimal, ", ", its user
// and LF, followed by the item's text exactly as stored. The files are written in text
// mode, so every LF reaches the disk as CR LF.
#pragma once

#include <string>

#include "export/ar_api.h"

namespace norvel {

// The label of a field: its name with every blank and '/' turned into '_'.
std::string CleanFieldName(const std::string& name);

// The block of a value, chosen by the value's own data type: "%u" for keyword, selection
// and unsigned long; "%d" for integer, bitmask and date; "%f" for real; "%ld" for time;
// the text for character, decimal, view and display. Empty for no value and for every type
// that has no block (diary values are written by FormatDiaryBlock).
std::string FormatFieldBlock(const std::string& label, const ARValueStruct& value);

// The block of a decoded diary; empty for a diary without items.
std::string FormatDiaryBlock(const std::string& label, const ARDiaryList& diary);

}  // namespace norvel
