// A build without SQLite and libxlsxwriter (the Windows program): their
// formats are not offered.
#include "export_formats.h"

namespace tabulon {

std::unique_ptr<ExportSink> NewSqliteSink(const std::string&, const std::string&) { return nullptr; }
std::unique_ptr<ExportSink> NewXlsxSink(const std::string&, uint32_t) { return nullptr; }
bool HasLibraryFormats() { return false; }

}  // namespace tabulon
