#include "cli_output.h"

#include <cstdio>

#include "table_export.h"

namespace tabulon::cli {

std::string EscapeValue(const std::string& value) {
  std::string out;
  AppendEscaped(out, value);
  return out;
}

void AppendEscaped(std::string& out, const std::string& value) {
  bool plain = true;
  for (char c : value) plain = plain && c != '\t' && c != '\n' && c != '\r' && c != '\\';
  if (plain) {
    out += value;
    return;
  }
  for (char c : value) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
}

std::string JsonString(const std::string& text) {
  std::string out;
  AppendJsonString(out, text);
  return out;
}

std::string FlavourName(uint8_t version, bool dbase7) {
  if (dbase7) return version == 0x8C ? "dBase 7 with memo" : "dBase 7";
  switch (version) {
    case 0x03: return "dBase III";
    case 0x04: return "dBase IV";
    case 0x05: return "dBase V";
    case 0x83: return "dBase III with memo";
    case 0x84: return "dBase IV with memo (dBase III memo layout)";
    case 0x8B: return "dBase IV with memo";
    case 0x7B: return "dBase IV SQL table with memo";
    case 0xF5: return "FoxPro with memo";
    case 0x30: return "Visual FoxPro";
    case 0x31: return "Visual FoxPro with autoincrement";
    case 0x32: return "Visual FoxPro with varchar or varbinary";
    default: return "unknown";
  }
}

std::string LayoutWarnings(uint8_t warnings) {
  std::string out;
  if (warnings & DbfNoTerminator) out += "the header lacks its terminator";
  if (warnings & DbfShortRecordSize)
    out += std::string(out.empty() ? "" : "; ") + "the record size is a byte short of the fields (read only)";
  return out;
}

std::string ExpectedValue(const DbfField& field, uint8_t version) {
  switch (ValueLayoutOf(field.Type, field.Length, version)) {
    case DbfValueLayout::Number:
      return "a number of up to " + std::to_string(field.Length) + " characters" +
             (field.Decimals > 0 ? " with at most " + std::to_string(field.Decimals) + " decimals"
                                 : " without decimals") +
             ", or blank";
    case DbfValueLayout::Date: return "a date YYYYMMDD, or blank";
    case DbfValueLayout::Logic: return "one of T, F, Y, N, ?, or blank";
    case DbfValueLayout::Integer: return "a whole number from -2147483648 to 2147483647";
    case DbfValueLayout::Autoincrement:
      return "a whole number from -2147483648 to 2147483647, or blank";
    case DbfValueLayout::Currency: return "an amount with at most four decimals";
    case DbfValueLayout::Double: return "a number such as 12.5 or 1.5e10";
    case DbfValueLayout::SortableDouble: return "a number such as 12.5 or 1.5e10, or blank";
    case DbfValueLayout::DateTime:
    case DbfValueLayout::Timestamp: return "a date and time DD.MM.YYYY hh:mm:ss, or blank";
    default: return "nothing: values of this type are not edited";
  }
}

std::string DescribeOutcome(const TableSession& session, const Outcome& o) {
  std::string where;
  if (o.Record > 0) where += "record " + std::to_string(o.Record);
  if (o.Field >= 1 && o.Field <= session.GetFieldCount())
    where += (where.empty() ? "" : ", ") + std::string("field ") + session.GetFieldTitle(o.Field);
  if (!where.empty()) where += ": ";
  if (o.Kind == OutcomeKind::Failed) return where + (o.EngineText.empty() ? "failed" : o.EngineText);
  switch (o.Reason) {
    case Refusal::None: return where + (o.EngineText.empty() ? "done" : o.EngineText);
    case Refusal::NoTable: return "no table loaded";
    case Refusal::NoSuchRecord:
      return "no record " + std::to_string(o.Record) + " (the table has " +
             std::to_string(session.GetRecordCount()) + ")";
    case Refusal::NoSuchField: return "no such field";
    case Refusal::ReadOnly: return where + "the table can only be read; nothing written";
    case Refusal::Locked:
      return o.Record > 0 ? "record " + std::to_string(o.Record) +
                                " is locked by another program; nothing written"
                          : std::string("the table is locked by another program; nothing written");
    case Refusal::TableChanged:
      return where + "the table was changed by another program meanwhile; nothing written";
    case Refusal::NoMemoFile: return where + "the table's memo file is not open; nothing written";
    case Refusal::ValueRefused:
      if (o.Field >= 1 && o.Field <= session.GetFieldCount())
        return where + "expects " + ExpectedValue(session.GetField(o.Field), session.GetVersion());
      return where + "value refused";
    case Refusal::ControlCharacter:
      return where + "a tab, line break or other control character has no place in a character field";
    case Refusal::BinaryData: return where + "the memo holds binary data and is not edited as text; nothing written";
    case Refusal::NoCodePageTwin:
      return where + "the character \"" + o.Detail + "\" has no place in the table's code page (" +
             std::to_string(session.GetCodePage()) + "); nothing written";
    case Refusal::PackMemoMissing:
      return "the memo file " + o.Detail + " is missing; the table was not packed";
    case Refusal::StaleIndexes:
      return where + "the table has index files that a write would leave stale (" + o.Detail +
             "); nothing written (--force writes anyway)";
    case Refusal::NoSuchIndex: return o.Detail + " is not an index file of the table";
    case Refusal::EnterName: return "row " + std::to_string(o.Row) + ": no field name";
    case Refusal::EnterSize: return "row " + std::to_string(o.Row) + ": no field size";
    case Refusal::ChooseType: return "row " + std::to_string(o.Row) + ": no field type";
    case Refusal::TextSize:
      return "row " + std::to_string(o.Row) + ": size " + o.Detail + " (Text takes 1 to 254)";
    case Refusal::NameNoOemTwin:
      return "row " + std::to_string(o.Row) + ": the character \"" + o.Detail + "\" has no place in code page 866";
    case Refusal::SameName:
      return "rows " + std::to_string(o.Row) + " and " + std::to_string(o.OtherRow) + " both name " + o.Detail;
    case Refusal::Cancelled: return "stopped; nothing written";
    case Refusal::CannotRead: return "cannot read " + o.Detail + (o.Text.empty() ? "" : ": " + o.Text);
    case Refusal::CannotWrite: return "cannot write " + o.Detail + (o.Text.empty() ? "" : ": " + o.Text);
    case Refusal::TableExists: return o.Detail + " exists already; nothing written (--append adds to it)";
    case Refusal::UnknownColumn: return "the table has no field for the column " + o.Detail + "; nothing written";
    case Refusal::NoColumns: return "the file has no header line naming its columns";
    case Refusal::UnclosedQuote: return "a quote opened here is never closed";
    case Refusal::ValueCount:
      return std::to_string(o.Size) + " values where the header names " + std::to_string(o.Limit);
    case Refusal::TextTooLong:
      return where + std::to_string(o.Size) + " characters, the field holds " + std::to_string(o.Limit);
    case Refusal::RowsRefused: return std::to_string(o.Size) + " lines refused; nothing written";
    case Refusal::RecordTooLong:
      return "the fields take " + std::to_string(o.Size) + " bytes, more than a record holds (" +
             std::to_string(o.Limit) + ")";
  }
  return where + "refused";
}

}  // namespace tabulon::cli
