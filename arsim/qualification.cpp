// Parsing and evaluating qualifications against fixture entries.
#include "arsim/qualification.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace arsim {

namespace {

constexpr unsigned kRelOpMagic = 0x51A1F00Du;

struct Lexeme {
  enum Kind { kEnd, kOpen, kClose, kField, kString, kWord, kOperator } kind = kEnd;
  std::string text;
  size_t position = 0;
};

class Lexer {
 public:
  explicit Lexer(const std::string& text) : text_(text) {}

  bool Next(Lexeme* out, std::string* error) {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    *out = Lexeme();
    out->position = pos_ + 1;
    if (pos_ >= text_.size()) return true;
    char c = text_[pos_];
    if (c == '(' || c == ')') {
      out->kind = c == '(' ? Lexeme::kOpen : Lexeme::kClose;
      ++pos_;
      return true;
    }
    if (c == '\'' || c == '"') return Quoted(c, out, error);
    if (std::strchr("=!<>", c)) {
      out->kind = Lexeme::kOperator;
      out->text = c;
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '=' || (c == '<' && text_[pos_] == '>'))) {
        out->text += text_[pos_++];
      }
      if (out->text == "!") {
        *error = "Unexpected \"!\" at position " + std::to_string(out->position);
        return false;
      }
      return true;
    }
    out->kind = Lexeme::kWord;
    while (pos_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[pos_])) &&
           !std::strchr("()'\"=!<>", text_[pos_])) {
      out->text += text_[pos_++];
    }
    return true;
  }

 private:
  // 'field' or "string"; a doubled quote stands for the quote itself.
  bool Quoted(char quote, Lexeme* out, std::string* error) {
    out->kind = quote == '\'' ? Lexeme::kField : Lexeme::kString;
    ++pos_;
    for (;;) {
      if (pos_ >= text_.size()) {
        *error = "Missing closing quote for the text at position " + std::to_string(out->position);
        return false;
      }
      char c = text_[pos_++];
      if (c != quote) {
        out->text += c;
      } else if (pos_ < text_.size() && text_[pos_] == quote) {
        out->text += quote;
        ++pos_;
      } else {
        return true;
      }
    }
  }

  const std::string& text_;
  size_t pos_ = 0;
};

bool IsKeyword(const Lexeme& l, const char* word) {
  return l.kind == Lexeme::kWord && EqualsIgnoringCase(l.text, word);
}

bool ParseNumberText(const std::string& s, double* out) {
  if (s.empty()) return false;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (*end != '\0') return false;
  *out = v;
  return true;
}

bool IsNumericType(unsigned type) {
  switch (type) {
    case AR_DATA_TYPE_KEYWORD:
    case AR_DATA_TYPE_INTEGER:
    case AR_DATA_TYPE_REAL:
    case AR_DATA_TYPE_ENUM:
    case AR_DATA_TYPE_TIME:
    case AR_DATA_TYPE_BITMASK:
    case AR_DATA_TYPE_DATE:
    case AR_DATA_TYPE_TIME_OF_DAY:
    case AR_DATA_TYPE_ULONG:
      return true;
    default:
      return false;
  }
}

// Recursive descent over the lexemes; builds nodes owned by unique_ptrs until done.
class Parser {
 public:
  Parser(const Schema& schema, const std::string& text) : schema_(schema), lexer_(text) {}

  bool Parse(ARQualifierStruct* out, std::string* error) {
    error_ = error;
    if (!Advance()) return false;
    if (current_.kind == Lexeme::kEnd) {
      *out = ARQualifierStruct();
      return true;
    }
    std::unique_ptr<ARQualifierStruct, Deleter> root(ParseOr());
    if (!root) return false;
    if (current_.kind != Lexeme::kEnd) return Fail("Unexpected text");
    *out = *root;
    root->operation = AR_COND_OP_NONE;  // the contents now belong to *out
    return true;
  }

 private:
  struct Deleter {
    void operator()(ARQualifierStruct* q) const {
      ReleaseQualifier(q);
      delete q;
    }
  };
  using Node = std::unique_ptr<ARQualifierStruct, Deleter>;

  bool Advance() { return lexer_.Next(&current_, error_); }

  bool Fail(const std::string& what) {
    *error_ = what + " at position " + std::to_string(current_.position) + " of the qualification";
    return false;
  }

  ARQualifierStruct* Combine(unsigned op, Node left, Node right) {
    Node node(new ARQualifierStruct());
    node->operation = op;
    node->u.andor.operandLeft = left.release();
    node->u.andor.operandRight = right.release();
    return node.release();
  }

  ARQualifierStruct* ParseOr() {
    Node left(ParseAnd());
    while (left && IsKeyword(current_, "OR")) {
      if (!Advance()) return nullptr;
      Node right(ParseAnd());
      if (!right) return nullptr;
      left.reset(Combine(AR_COND_OP_OR, std::move(left), std::move(right)));
    }
    return left.release();
  }

  ARQualifierStruct* ParseAnd() {
    Node left(ParseNot());
    while (left && IsKeyword(current_, "AND")) {
      if (!Advance()) return nullptr;
      Node right(ParseNot());
      if (!right) return nullptr;
      left.reset(Combine(AR_COND_OP_AND, std::move(left), std::move(right)));
    }
    return left.release();
  }

  ARQualifierStruct* ParseNot() {
    if (IsKeyword(current_, "NOT")) {
      if (!Advance()) return nullptr;
      Node inner(ParseNot());
      if (!inner) return nullptr;
      Node node(new ARQualifierStruct());
      node->operation = AR_COND_OP_NOT;
      node->u.notQual = inner.release();
      return node.release();
    }
    if (current_.kind == Lexeme::kOpen) {
      if (!Advance()) return nullptr;
      Node inner(ParseOr());
      if (!inner) return nullptr;
      if (current_.kind != Lexeme::kClose) {
        Fail("Missing closing parenthesis");
        return nullptr;
      }
      if (!Advance()) return nullptr;
      return inner.release();
    }
    return ParseRelation();
  }

  bool ParseOperand(Operand* out) {
    switch (current_.kind) {
      case Lexeme::kField: {
        const FieldDef* field = schema_.FieldByReference(current_.text);
        if (!field) {
          *error_ = "Field does not exist on current form : " + current_.text;
          return false;
        }
        out->kind = Operand::kField;
        out->field_id = field->id;
        break;
      }
      case Lexeme::kString:
        out->kind = Operand::kText;
        out->text = current_.text;
        break;
      case Lexeme::kWord:
        if (IsKeyword(current_, "$NULL$")) {
          out->kind = Operand::kNull;
        } else if (IsKeyword(current_, "AND") || IsKeyword(current_, "OR") ||
                   IsKeyword(current_, "NOT") || IsKeyword(current_, "LIKE")) {
          return Fail("Expected a field or a value");
        } else {
          out->kind =
              ParseNumberText(current_.text, &out->number) ? Operand::kNumber : Operand::kText;
          out->text = current_.text;
        }
        break;
      default:
        return Fail("Expected a field or a value");
    }
    return Advance();
  }

  bool ParseOperator(unsigned* op) {
    static const struct {
      const char* text;
      unsigned op;
    } kOps[] = {{"=", AR_REL_OP_EQUAL},         {"!=", AR_REL_OP_NOT_EQUAL},
                {"<>", AR_REL_OP_NOT_EQUAL},    {"<", AR_REL_OP_LESS},
                {"<=", AR_REL_OP_LESS_EQUAL},   {">", AR_REL_OP_GREATER},
                {">=", AR_REL_OP_GREATER_EQUAL}};
    if (IsKeyword(current_, "LIKE")) {
      *op = AR_REL_OP_LIKE;
      return Advance();
    }
    if (current_.kind == Lexeme::kOperator) {
      for (const auto& candidate : kOps) {
        if (current_.text == candidate.text) {
          *op = candidate.op;
          return Advance();
        }
      }
    }
    return Fail("Expected a relational operator");
  }

  // A literal compared with a field takes the field's type: a number for numeric fields
  // (or a selection name for selection fields), text otherwise.
  bool Resolve(const Operand& field_side, Operand* literal, unsigned op) {
    if (field_side.kind != Operand::kField || literal->kind == Operand::kField ||
        literal->kind == Operand::kNull || op == AR_REL_OP_LIKE) {
      return true;
    }
    const FieldDef* field = schema_.Field(field_side.field_id);
    if (!IsNumericType(field->data_type)) {
      literal->kind = Operand::kText;
      return true;
    }
    if (ParseNumberText(literal->text, &literal->number)) {
      literal->kind = Operand::kNumber;
      return true;
    }
    for (size_t i = 0; i < field->selections.size(); ++i) {
      if (EqualsIgnoringCase(field->selections[i], literal->text)) {
        literal->kind = Operand::kNumber;
        literal->number = static_cast<double>(i);
        return true;
      }
    }
    *error_ =
        "Value does not match the data type of field '" + field->name + "' : " + literal->text;
    return false;
  }

  ARQualifierStruct* ParseRelation() {
    std::unique_ptr<ARRelOpStruct> rel(new ARRelOpStruct());
    rel->magic = kRelOpMagic;
    if (!ParseOperand(&rel->left) || !ParseOperator(&rel->operation) ||
        !ParseOperand(&rel->right) || !Resolve(rel->left, &rel->right, rel->operation) ||
        !Resolve(rel->right, &rel->left, rel->operation)) {
      return nullptr;
    }
    Node node(new ARQualifierStruct());
    node->operation = AR_COND_OP_REL_OP;
    node->u.relOp = rel.release();
    return node.release();
  }

  const Schema& schema_;
  Lexer lexer_;
  Lexeme current_;
  std::string* error_ = nullptr;
};

// An operand's value for one entry.
struct Cell {
  bool null = true;
  bool numeric = false;
  double number = 0;
  std::string text;
};

std::string NumberText(double v) {
  char buf[64];
  if (v == static_cast<double>(static_cast<long long>(v))) {
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
  } else {
    std::snprintf(buf, sizeof buf, "%.15g", v);
  }
  return buf;
}

Cell ValueCell(const StoredValue& v) {
  Cell c;
  switch (v.data_type) {
    case AR_DATA_TYPE_NULL:
      return c;
    case AR_DATA_TYPE_REAL:
      c.numeric = true;
      c.number = v.real;
      break;
    case AR_DATA_TYPE_DIARY:
      if (v.raw_diary) {
        c.text = v.text;
      } else {
        for (const DiaryItem& item : v.diary) c.text += item.text + "\n";
      }
      break;
    default:
      if (IsNumericType(v.data_type)) {
        c.numeric = true;
        c.number = static_cast<double>(v.integer);
      } else {
        c.text = v.text;
      }
  }
  c.null = false;
  if (c.numeric) c.text = NumberText(c.number);
  return c;
}

Cell OperandCell(const Entry& entry, const Operand& op) {
  Cell c;
  switch (op.kind) {
    case Operand::kField: {
      auto it = entry.values.find(op.field_id);
      if (it != entry.values.end()) c = ValueCell(it->second);
      break;
    }
    case Operand::kText:
      c.null = false;
      c.text = op.text;
      break;
    case Operand::kNumber:
      c.null = false;
      c.numeric = true;
      c.number = op.number;
      c.text = op.text.empty() ? NumberText(op.number) : op.text;
      break;
    case Operand::kNull:
      break;
  }
  return c;
}

int CompareText(const std::string& a, const std::string& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    int x = std::tolower(static_cast<unsigned char>(a[i]));
    int y = std::tolower(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool Relate(const Cell& a, const Cell& b, unsigned op) {
  if (op == AR_REL_OP_LIKE) return !a.null && !b.null && LikeMatch(a.text, b.text);
  if (a.null || b.null) {
    if (op == AR_REL_OP_EQUAL) return a.null && b.null;
    if (op == AR_REL_OP_NOT_EQUAL) return a.null != b.null;
    return false;
  }
  int cmp = (a.numeric && b.numeric) ? (a.number < b.number ? -1 : (a.number > b.number ? 1 : 0))
                                     : CompareText(a.text, b.text);
  switch (op) {
    case AR_REL_OP_EQUAL:
      return cmp == 0;
    case AR_REL_OP_NOT_EQUAL:
      return cmp != 0;
    case AR_REL_OP_LESS:
      return cmp < 0;
    case AR_REL_OP_LESS_EQUAL:
      return cmp <= 0;
    case AR_REL_OP_GREATER:
      return cmp > 0;
    case AR_REL_OP_GREATER_EQUAL:
      return cmp >= 0;
    default:
      return false;
  }
}

bool Evaluate(const Entry& entry, const ARQualifierStruct* q, int depth, bool* match,
              std::string* error) {
  if (!q || q->operation == AR_COND_OP_NONE) {
    *match = true;
    return true;
  }
  bool left = false, right = false;
  if (depth > 1000) {
    *error = "The qualification is nested too deeply";
    return false;
  }
  switch (q->operation) {
    case AR_COND_OP_AND:
    case AR_COND_OP_OR:
      if (!Evaluate(entry, q->u.andor.operandLeft, depth + 1, &left, error) ||
          !Evaluate(entry, q->u.andor.operandRight, depth + 1, &right, error)) {
        return false;
      }
      *match = q->operation == AR_COND_OP_AND ? (left && right) : (left || right);
      return true;
    case AR_COND_OP_NOT:
      if (!Evaluate(entry, q->u.notQual, depth + 1, &left, error)) return false;
      *match = !left;
      return true;
    case AR_COND_OP_REL_OP:
      if (q->u.relOp && q->u.relOp->magic == kRelOpMagic) {
        const ARRelOpStruct& rel = *q->u.relOp;
        *match = Relate(OperandCell(entry, rel.left), OperandCell(entry, rel.right), rel.operation);
        return true;
      }
      break;
  }
  *error = "Invalid qualification structure";
  return false;
}

}  // namespace

bool LoadQualifier(const Schema& schema, const std::string& text, ARQualifierStruct* out,
                   std::string* error) {
  return Parser(schema, text).Parse(out, error);
}

bool MatchQualifier(const Schema&, const Entry& entry, const ARQualifierStruct* q, bool* match,
                    std::string* error) {
  return Evaluate(entry, q, 0, match, error);
}

void ReleaseQualifier(ARQualifierStruct* q) {
  if (!q) return;
  switch (q->operation) {
    case AR_COND_OP_AND:
    case AR_COND_OP_OR:
      for (ARQualifierStruct* side : {q->u.andor.operandLeft, q->u.andor.operandRight}) {
        ReleaseQualifier(side);
        delete side;
      }
      break;
    case AR_COND_OP_NOT:
      ReleaseQualifier(q->u.notQual);
      delete q->u.notQual;
      break;
    case AR_COND_OP_REL_OP:
      if (q->u.relOp && q->u.relOp->magic == kRelOpMagic) delete q->u.relOp;
      break;
  }
  q->operation = AR_COND_OP_NONE;
  q->u.andor.operandLeft = q->u.andor.operandRight = nullptr;
}

bool LikeMatch(const std::string& text, const std::string& pattern) {
  // Iterative wildcard match with one backtrack point for the last %.
  size_t t = 0, p = 0, star_p = std::string::npos, star_t = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '%') {
      star_p = ++p;
      star_t = t;
    } else if (p < pattern.size() &&
               (pattern[p] == '_' || std::tolower(static_cast<unsigned char>(pattern[p])) ==
                                         std::tolower(static_cast<unsigned char>(text[t])))) {
      ++p;
      ++t;
    } else if (star_p != std::string::npos) {
      p = star_p;
      t = ++star_t;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '%') ++p;
  return p == pattern.size();
}

}  // namespace arsim
