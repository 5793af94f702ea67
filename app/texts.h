// Every text the program shows, in one place, as UTF-8 literals, as the
// windows take them.
// Exact wording matters: spaces at the ends included.
#pragma once

#include <string>

namespace tabulon::texts {

// Captions.
constexpr const char* kAppletCaption = "tabulon";
constexpr const char* kMainCaption = "ТАБУЛОН";
// With a table shown: kMainCaption + separator + file name + count prefix + records.
constexpr const char* kCaptionFileSeparator = " - ";
constexpr const char* kCaptionRecordCount = ", записей: ";
constexpr const char* kMemoEditorCaption = "Form2";
constexpr const char* kHelpCaption = "Справка";
constexpr const char* kAboutCaption = "О программе";

// The menu bar template: "(" and ")" open and close a submenu.
constexpr const char* kMenuTemplate[] = {"Файл",    "(",       "Заерузить", "Экспорт…",
                                         "Импорт…", ")", "Справка",   "О программе"};
// The items the menu's clicks are told apart by.
constexpr const char* kLoadItem = "Заерузить";
constexpr const char* kExportItem = "Экспорт…";
constexpr const char* kImportItem = "Импорт…";
constexpr const char* kHelpItem = "Справка";
constexpr const char* kAboutItem = "О программе";

// File dialogs.
constexpr const char* kTableFilter = "Файлы dbf|*.dbf|Все Файлы|*.*";
constexpr const char* kCsvFilter = "Файлы CSV|*.csv|Все Файлы|*.*";
// The export formats, each a description and pattern pair of the save
// dialog's filter; SQLite and Excel only where the program writes them.
// CSV: kExportCsvPrefix + separator + kExportCsvUtf8 or kExportCsvTableCodePage.
constexpr const char* kExportCsvPrefix = "CSV, разделитель «";
constexpr const char* kExportCsvUtf8 = "» (UTF-8)|*.csv";
constexpr const char* kExportCsvTableCodePage = "», в кодировке таблицы|*.csv";
constexpr const char* kExportJsonFilter = "JSON|*.json";
constexpr const char* kExportPostgresFilter = "Скрипт SQL для PostgreSQL|*.sql";
constexpr const char* kExportSqliteScriptFilter = "Скрипт SQL для SQLite|*.sql";
constexpr const char* kExportSqliteFilter = "База SQLite|*.sqlite";
constexpr const char* kExportXlsxFilter = "Книга Excel|*.xlsx";

// Buttons, labels and check boxes.
constexpr const char* kAddButton = "+";
constexpr const char* kDeleteButton = "X";
constexpr const char* kReloadButton = "L";
constexpr const char* kPackButton = "P";
constexpr const char* kZoomInButton = "<=>";
constexpr const char* kZoomOutButton = ">=<";
constexpr const char* kMemoButton = "[_]";
constexpr const char* kOemCheckBox = "OEM";
constexpr const char* kSearchButton = "Поиск";
constexpr const char* kSearchTitle = "Поиск по базе";
// After a search: kSearchTitle + kHitCountPrefix + the number of hits; each
// hit listed as its record number + kHitSeparator + the value.
constexpr const char* kHitCountPrefix = ": найдено ";
constexpr const char* kHitSeparator = ": ";
constexpr const char* kNewTableTitle = "Создать новую базу";
constexpr const char* kFieldCountLabel = "Количество полей";
constexpr const char* kFieldCountButton = "OK";
constexpr const char* kCreateTableButton = "Сохранить";
constexpr const char* kSaveButton = "Сохранить";
constexpr const char* kExitButton = "Выйти";
constexpr const char* kFieldGridTitles[] = {"Имя поля", "Размер поля", "Тип поля"};
constexpr const char* kFieldTypes[] = {"Text", "Memo"};
constexpr const char* kMemoEditorInitialText = "Memo1\r\n";
// Beside the memo editor's buttons once "Сохранить" stored the text.
constexpr const char* kMemoStored = "Текст сохранён";

// Status words.
constexpr const char* kStatusLoad = "LOAD";
constexpr const char* kStatusOk = "OK";
constexpr const char* kStatusSave = "SAVE";
constexpr const char* kStatusPack = "PAK";
constexpr const char* kStatusError = "ERROR";
constexpr const char* kStatusSearch = "ПОИСК";
// Shown instead of "OK" while the table is open for reading only.
constexpr const char* kStatusReadOnly = "ЧТЕНИЕ";
// During an export or import, + " " + percent + "%".
constexpr const char* kStatusExport = "ЭКСПОРТ";
constexpr const char* kStatusImport = "ИМПОРТ";

// Messages.
constexpr const char* kEnterNamePrefix = "Введите имя для ";         // + row + kColumnSuffix
constexpr const char* kEnterSizePrefix = "Введите размер поля для ";  // + row + kColumnSuffix
constexpr const char* kChooseTypePrefix = "Вы не выбрали тип данных для ";
constexpr const char* kColumnSuffix = " столбца";
constexpr const char* kCreateFailed = "Неудача создания базы";
constexpr const char* kCreateDone = "База успешно создана";
// Fields whose sizes add up beyond what a record holds: + sum + kRecordTooLongLimit + limit.
constexpr const char* kRecordTooLongPrefix = "Сумма размеров полей ";
constexpr const char* kRecordTooLongLimit = " больше допустимой ";
// A write to a table with index files the program does not keep up to
// date yet: + an index file's name.
constexpr const char* kStaleIndexes =
    "У таблицы есть индексы, которые программа не обновляет; запись не выполнена: ";
constexpr const char* kNoSuchIndex = "Это не индексный файл таблицы: ";
// The line under a table with index files: kIndexesPrefix + each file's
// name with its tags in brackets (or kIndexMissing, kIndexUnreadable),
// separated by "; ", each tag the writes do not keep true followed by
// kTagNotKept; then kIndexesKept when every tag is kept, kIndexesNotKept
// when not.
constexpr const char* kIndexesPrefix = "Индексы: ";
constexpr const char* kIndexMissing = " (объявлен, файла нет)";
constexpr const char* kIndexUnreadable = " (не читается)";
constexpr const char* kTagNotKept = "!";
constexpr const char* kIndexesKept = " — обновляются при каждой записи.";
constexpr const char* kIndexesNotKept = " — отмеченные «!» программа не обновляет.";
// A structural index announced by the header but missing (Yes clears the flag).
constexpr const char* kClearStructuralFlagQuestion =
    "Заголовок таблицы объявляет структурный индекс (.cdx или .mdx), но его файла нет; программы, "
    "которым принадлежит таблица, её не откроют. Снять этот признак в заголовке?";
// The first write to a table with such index files: Yes writes and leaves
// them stale, No shows the table for reading only, Cancel does nothing.
constexpr const char* kStaleIndexesQuestion =
    "У таблицы есть индексы, которые программа не обновляет: после записи программа, "
    "которой принадлежит таблица, может не найти записи, пока индексы не будут перестроены.\r\n\r\n"
    "Да — записывать, индексы устареют.\r\nНет — открыть таблицу только для чтения.\r\n"
    "Отмена — ничего не делать.";
// Packing a memo table whose memo file is missing: + the memo file's name.
constexpr const char* kPackMemoMissing = "Не найден мемо-файл таблицы, упаковка не выполнена: ";
// A command found the table's files changed since the view was filled (by
// another program, or replaced by a new table of the same name).
constexpr const char* kTableChanged =
    "Таблица изменилась после того, как была показана. Показано её новое содержимое, "
    "изменение не записано.";
// A record (or the whole table) another program holds locked; nothing
// written.
constexpr const char* kRecordLocked = "Запись занята другой программой";
constexpr const char* kTableLocked = "Таблица занята другой программой";
// A memo text to write while the table's memo file is not open.
// A table with memo fields loaded without its memo file.
constexpr const char* kMemoFileMissingAtLoad =
    "Мемо-файл таблицы не найден: мемо-поля показаны пустыми и не могут быть изменены.";
constexpr const char* kNoMemoFile = "Мемо-файл таблицы не открыт, текст не записан.";
// A pack journal beside the table that was not trusted: + its new name.
constexpr const char* kPackJournalSetAside =
    "Рядом с таблицей найден журнал упаковки, которому нельзя доверять; он отложен как ";
// A typed value that does not suit its field: kFieldPrefix + field name +
// what the field expects. Numbers: kExpectsNumberPrefix + width +
// kCharactersOne or kCharactersMany, then kExpectsDecimalsPrefix + decimals +
// kExpectsDecimalsSuffix, or kExpectsNoDecimals.
constexpr const char* kFieldPrefix = "Поле ";
constexpr const char* kExpectsNumberPrefix = ": ожидается число шириной до ";
constexpr const char* kCharactersOne = " знака";
constexpr const char* kCharactersMany = " знаков";
constexpr const char* kExpectsDecimalsPrefix = ", из них ";
constexpr const char* kExpectsDecimalsSuffix = " после точки, или пусто.";
constexpr const char* kExpectsNoDecimals = " без дробной части, или пусто.";
constexpr const char* kExpectsDate = ": ожидается дата из восьми цифр ГГГГММДД или пусто.";
constexpr const char* kExpectsLogic = ": ожидается одна из букв T, F, Y, N, ? или пусто.";
constexpr const char* kExpectsInteger = ": ожидается целое число от -2147483648 до 2147483647.";
constexpr const char* kExpectsCounter =
    ": ожидается целое число от -2147483648 до 2147483647 или пусто.";
constexpr const char* kExpectsCurrency = ": ожидается сумма не более чем с четырьмя знаками после точки.";
constexpr const char* kExpectsDouble = ": ожидается число, например 12.5 или 1.5e10.";
constexpr const char* kExpectsDoubleOrBlank = ": ожидается число, например 12.5 или 1.5e10, или пусто.";
constexpr const char* kExpectsDateTime =
    ": ожидаются дата и время ДД.ММ.ГГГГ ЧЧ:ММ:СС (время можно не указывать) или пусто.";
// A field whose values the program cannot write: kFieldPrefix + name + this.
constexpr const char* kFieldNotEditable =
    ": значения этого типа (двоичные данные, служебное поле или текст переменной длины) здесь не "
    "изменяются.";
// "X" while rows are marked and the current one is not among them:
// kDeleteCurrentPrefix + record number + kDeleteCurrentSuffix.
constexpr const char* kDeleteCurrentPrefix = "Отмечены другие строки, а «X» удаляет текущую запись ";
constexpr const char* kDeleteCurrentSuffix = ". Удалить её?";
// A tab or line break typed or pasted into a Character field: kFieldPrefix
// + name + this.
constexpr const char* kControlCharacter =
    ": табуляция, перевод строки и другие управляющие знаки в текстовое поле не записываются. "
    "Ничего не записано.";
// A memo of binary data (an image, say): kFieldPrefix + name + this.
constexpr const char* kBinaryMemo =
    ": мемо содержит двоичные данные (например, изображение); здесь оно не изменяется, чтобы не "
    "испортить его.";
// Two rows of the new-table area whose names become one: kSameNamePrefix +
// row + kSameNameAnd + row + kSameNameMiddle + name + kSameNameSuffix.
constexpr const char* kSameNamePrefix = "Поля в строках ";
constexpr const char* kSameNameAnd = " и ";
constexpr const char* kSameNameMiddle = " получают одно имя ";
constexpr const char* kSameNameSuffix = ": имена сравниваются заглавными буквами по первым 10 знакам.";
// A Text size outside what a table holds: kTextSizePrefix + row +
// kTextSizeMiddle + size + kTextSizeSuffix.
constexpr const char* kTextSizePrefix = "Размер поля в строке ";
constexpr const char* kTextSizeMiddle = " (";
constexpr const char* kTextSizeSuffix = ") не подходит: для типа Text допустимо от 1 до 254.";
// A typed character a DOS table cannot hold (the view shows it in code
// page 866): kNoOemTwinPrefix + the character + kNoOemTwinSuffix. In a new
// table's field name: kNameNoOemTwinPrefix + row + kNameNoOemTwinMiddle +
// the character + kNameNoOemTwinSuffix.
constexpr const char* kNoOemTwinPrefix = "Знака «";
constexpr const char* kNoOemTwinSuffix =
    "» нет в кодировке DOS (866), в которой таблица показана (флажок OEM). Ничего не записано.";
// The same in a table of another code page: kNoOemTwinPrefix + the
// character + kNoCharInCodePage + the page's number + kNoCharInCodePageSuffix.
constexpr const char* kNoCharInCodePage = "» нет в кодировке таблицы (";
constexpr const char* kNoCharInCodePageSuffix = "). Ничего не записано.";
constexpr const char* kNameNoOemTwinPrefix = "Имя поля в строке ";
constexpr const char* kNameNoOemTwinMiddle = " содержит знак «";
constexpr const char* kNameNoOemTwinSuffix =
    "», которого нет в кодировке DOS (866): при флажке OEM имена записываются в ней.";
// A search that found more hits than the list shows.
constexpr const char* kTooManyHits = "Найдено больше 65535 записей. Показаны только первые 65535.";

// Tables the engine refuses to open, each + the file's name (or, for a
// flavour, kUnsupportedPrefix + flavour + kUnsupportedSuffix).
constexpr const char* kNoSuchFile = "Файл таблицы не найден: ";
constexpr const char* kNotATable = "Файл не является таблицей dBase: ";
constexpr const char* kUnsupportedPrefix = "Таблицы ";
constexpr const char* kUnsupportedSuffix = " не поддерживаются.";
constexpr const char* kSizesDisagree =
    "Размер записи в заголовке таблицы не совпадает с размерами её полей: ";
constexpr const char* kFileTooShort = "Файл таблицы обрывается раньше её последних записей: ";
constexpr const char* kNoWriteAccess = "Файл нельзя открыть для записи: ";
constexpr const char* kNoAccess = "Нет доступа к файлу: ";
constexpr const char* kJournalNeedsWrite =
    "Упаковка таблицы была прервана, и её нужно откатить, но таблицу нельзя изменить. Откройте её "
    "там, где она доступна для записи: ";
// A cut-off pack whose journal names a memo file that is not beside the
// table: + its name.
// An index file kept with the table could not be written; + the reason.
constexpr const char* kWriteIndexError = "Индексный файл не записан, запись будет отменена при следующем открытии: ";
constexpr const char* kJournalMemoMissing =
    "Упаковка таблицы была прервана; чтобы вернуть таблицу, нужен мемо-файл, которого нет рядом с "
    "ней. Таблица не открыта: ";
// A file or folder at a journal's name: + the name.
constexpr const char* kJournalNameTaken =
    "Имя журнала упаковки занято другим файлом или папкой, таблица не изменена: ";
// A memo reference a pack cannot read: kPackBrokenMemoPrefix + the
// engine's record, field and reason + kPackBrokenMemoSuffix; then the
// question whether to pack with such references cleared, and what was.
constexpr const char* kPackBrokenMemoPrefix = "Упаковка не выполнена: ссылка на мемо не читается (";
constexpr const char* kPackBrokenMemoSuffix = ").";
constexpr const char* kPackClearBrokenQuestion =
    "Упаковать, очистив ссылки на мемо, которые нельзя прочитать? Записи останутся, их тексты в этих "
    "полях будут потеряны.";
constexpr const char* kPackClearedPrefix = "Очищены ссылки на мемо:";
// Any change to a table that can only be read (a CD, a read-only share, a
// locked or read-only file).
constexpr const char* kReadOnlyRefused =
    "Таблица открыта только для чтения: изменения в неё не записываются.";

// Export and import.
constexpr const char* kExportNoTable = "Сначала загрузите таблицу, которую нужно выгрузить.";
constexpr const char* kExportOverTable =
    "Выгрузка заменила бы саму таблицу или её мемо-файл. Выберите другое имя.";
constexpr const char* kExportWithDeleted = "Выгрузить и записи, помеченные удалёнными?";
constexpr const char* kExportDone = "Выгрузка завершена, файл записан: ";  // + file name
// Import: kImportFieldsPrefix + the field lines + kImportRowsPrefix + rows + kImportFieldsSuffix.
constexpr const char* kImportFieldsPrefix = "Поля новой таблицы:\r\n";
constexpr const char* kImportRowsPrefix = "\r\nСтрок в файле: ";
constexpr const char* kImportFieldsSuffix = ". Создать таблицу?";
// With a table shown: + its name + kImportAppendSuffix.
constexpr const char* kImportAppendPrefix = "Добавить строки файла в показанную таблицу ";
constexpr const char* kImportAppendSuffix = "?\r\n\r\nНет — создать из файла новую таблицу.";
constexpr const char* kImportAppended = "Добавлено записей: ";
// The import's questions of a CSV file.
constexpr const char* kCsvImportCaption = "Импорт CSV";
constexpr const char* kCsvSeparatorLabel = "Разделитель:";
constexpr const char* kCsvSeparators[] = {"; (точка с запятой)", ", (запятая)", "Табуляция"};
constexpr const char* kCsvCodePageLabel = "Кодировка:";
// Then the numbers of the other pages the program knows.
constexpr const char* kCsvFirstCodePages[] = {"UTF-8", "866 (DOS)", "1251 (Windows)"};
constexpr const char* kCsvImportOkButton = "Далее";
constexpr const char* kCsvImportCancelButton = "Отмена";
// Lines refused: kRowsRefusedPrefix + count + kRowsRefusedMiddle, then the
// first of them, each kLinePrefix + line + ": " + reason.
constexpr const char* kRowsRefusedPrefix = "Строк отклонено: ";
constexpr const char* kRowsRefusedMiddle = ". Ничего не записано.";
constexpr const char* kLinePrefix = "Строка ";
constexpr const char* kCancelled = "Работа прервана, ничего не записано.";
constexpr const char* kCannotRead = "Файл не читается: ";    // + file (+ " (" + why + ")")
constexpr const char* kCannotWrite = "Файл не записан: ";  // + file (+ " (" + why + ")")
constexpr const char* kTableExists =
    "Таблица с таким именем уже есть, импорт её не заменяет; ничего не записано: ";  // + table
constexpr const char* kUnknownColumn = "В таблице нет поля для столбца файла: ";       // + column
constexpr const char* kNoColumns = "В файле нет строки заголовка с именами столбцов.";
constexpr const char* kUnclosedQuote = "кавычка открыта и не закрыта.";
// kValueCountPrefix + values + kValueCountMiddle + columns + ".".
constexpr const char* kValueCountPrefix = "значений ";
constexpr const char* kValueCountMiddle = ", а столбцов в заголовке ";
// kFieldPrefix + name + kTextTooLongPrefix + characters + kTextTooLongMiddle + the field's size + ".".
constexpr const char* kTextTooLongPrefix = ": знаков ";
constexpr const char* kTextTooLongMiddle = ", а поле вмещает ";

// The help and about window texts, lines ended by CR LF.
std::string HelpText();
std::string AboutText();

}  // namespace tabulon::texts
