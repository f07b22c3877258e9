// Tables read from CSV text as RFC 4180 lays it out: fields separated by
// commas, records by CRLF or LF, a field in double quotes may hold commas,
// line breaks and doubled quotes ("" for one "). The batch command reads
// its tables through here.
#ifndef HOST_CSV_TABLE_H
#define HOST_CSV_TABLE_H

#include <string>
#include <vector>

namespace host {

// A table: the header's names and the records below it, each with the line
// of the text it starts on (1 is the header's).
struct CsvTable {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  std::vector<int> lines;
};

// Reads `text` (a UTF-8 byte-order mark at the start is skipped). Blank
// lines are left out; a record with fewer fields than the header gets empty
// ones. False with the reason, naming the line, for an unclosed quote,
// text after a closing quote, a record with more fields than the header,
// an empty header or an empty or repeated header name.
bool ReadCsv(const std::string& text, CsvTable* table, std::string* error);

}  // namespace host

#endif
