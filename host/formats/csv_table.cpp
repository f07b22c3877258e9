#include "csv_table.h"

#include <algorithm>

namespace host {

namespace {

// Reads one record from `i` on; `line` counts the line breaks passed.
// False with the reason when a quote is not closed or text follows one.
bool ReadRecord(const std::string& s, std::size_t* i, int* line, std::vector<std::string>* fields,
                std::string* error) {
  fields->clear();
  std::string field;
  const int start = *line;
  while (true) {
    if (*i < s.size() && s[*i] == '"') {
      ++*i;
      while (true) {
        if (*i >= s.size()) {
          *error = "line " + std::to_string(start) + ": a quoted field is not closed";
          return false;
        }
        const char ch = s[(*i)++];
        if (ch == '"') {
          if (*i < s.size() && s[*i] == '"') {
            field += '"';
            ++*i;
            continue;
          }
          break;
        }
        if (ch == '\n') ++*line;
        field += ch;
      }
      if (*i < s.size() && s[*i] != ',' && s[*i] != '\n' && !(s[*i] == '\r' && *i + 1 < s.size() && s[*i + 1] == '\n') &&
          !(s[*i] == '\r' && *i + 1 == s.size())) {
        *error = "line " + std::to_string(*line) + ": text after the closing quote of a field";
        return false;
      }
    } else {
      while (*i < s.size() && s[*i] != ',' && s[*i] != '\n' &&
             !(s[*i] == '\r' && (*i + 1 == s.size() || s[*i + 1] == '\n')))
        field += s[(*i)++];
    }
    fields->push_back(field);
    field.clear();
    if (*i >= s.size()) return true;
    if (s[*i] == ',') {
      ++*i;
      continue;
    }
    if (s[*i] == '\r') ++*i;
    if (*i < s.size() && s[*i] == '\n') ++*i;
    ++*line;
    return true;
  }
}

bool Blank(const std::vector<std::string>& fields) { return fields.size() == 1 && fields[0].empty(); }

}  // namespace

bool ReadCsv(const std::string& text, CsvTable* table, std::string* error) {
  *table = CsvTable();
  std::size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  int line = 1;
  std::vector<std::string> fields;
  bool haveHeader = false;
  while (i < text.size()) {
    const int start = line;
    if (!ReadRecord(text, &i, &line, &fields, error)) return false;
    if (Blank(fields)) continue;
    if (!haveHeader) {
      for (std::size_t k = 0; k < fields.size(); ++k) {
        if (fields[k].empty()) {
          *error = "line " + std::to_string(start) + ": column " + std::to_string(k + 1) + " of the header has no name";
          return false;
        }
        if (std::find(fields.begin(), fields.begin() + static_cast<std::ptrdiff_t>(k), fields[k]) !=
            fields.begin() + static_cast<std::ptrdiff_t>(k)) {
          *error = "line " + std::to_string(start) + ": the header names '" + fields[k] + "' twice";
          return false;
        }
      }
      table->header = fields;
      haveHeader = true;
      continue;
    }
    if (fields.size() > table->header.size()) {
      *error = "line " + std::to_string(start) + ": " + std::to_string(fields.size()) + " fields, but the header has " +
               std::to_string(table->header.size());
      return false;
    }
    fields.resize(table->header.size());
    table->rows.push_back(fields);
    table->lines.push_back(start);
  }
  if (!haveHeader) {
    *error = "the table is empty: it needs a header line naming its columns";
    return false;
  }
  return true;
}

}  // namespace host
