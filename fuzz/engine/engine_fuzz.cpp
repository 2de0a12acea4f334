// The engine on arbitrary files. The input is split into a main file and a
// memo file, which are opened (plain, or with a password), walked, read
// field by field, written and appended to. Whatever the bytes, nothing may
// crash, hang, or touch memory it does not own.
//
// Input: byte 0 = options (bit 0: open with the password "pw"; bit 1: hold
// the whole-file lock, so the page cache is used; bit 2: clear all at the
// end; bit 3: change the password at the end), bytes 1..4 = length of the
// main file (little-endian, taken modulo what is left), then the main file,
// then the memo file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/database.h"

namespace {

const std::string& Folder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/engine-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    return std::string(pattern);
  }();
  return folder;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwick;
  if (size < 5) return 0;
  const uint8_t options = data[0];
  uint32_t main_size = uint32_t{data[1]} | uint32_t{data[2]} << 8 | uint32_t{data[3]} << 16 | uint32_t{data[4]} << 24;
  data += 5;
  size -= 5;
  main_size = size == 0 ? 0 : static_cast<uint32_t>(main_size % (size + 1));
  const std::string main_path = Folder() + "/fuzz.edb";
  WriteFile(main_path, data, main_size);
  WriteFile(Folder() + "/fuzz.EDT", data + main_size, size - main_size);

  DatabaseEngine engine;
  engine.SetDurableWrites(false);
  OpenOptions open_options;
  if (options & 1) open_options.password = "pw";
  if (!engine.OpenDatabase(main_path, open_options)) return 0;
  if (options & 2) engine.LockDatabase();

  const std::vector<FieldInf> fields = engine.Fields();
  const int count = engine.RecordCount();
  engine.GoFirst();
  for (int i = 0; i < count && i < 64; ++i) {
    engine.RecordId();
    for (size_t f = 1; f <= fields.size(); ++f) engine.ReadField(static_cast<int>(f));
    engine.Skip();
  }
  engine.Skip(-3);
  engine.GoFirst();
  int examined = 0;
  engine.SearchForward([&] {
    engine.RecordId();
    engine.ReadField(static_cast<int>(fields.size()));
    return ++examined > 16;
  });

  // Write every field of the current record, then append a record.
  std::vector<FieldValue> values;
  for (size_t f = 1; f <= fields.size(); ++f) {
    FieldValue value = (f % 2) ? FieldValue::Text(std::string(700, 'x')) : FieldValue::Integer(static_cast<int64_t>(f));
    engine.WriteField(static_cast<int>(f), value);
    values.push_back(FieldValue::Text(std::string(f * 37 % 1100, 'y')));
  }
  engine.WriteField(1, FieldValue::Text(""));
  engine.AppendRecord(values);
  engine.GoFirst();
  for (size_t f = 1; f <= fields.size(); ++f) engine.ReadField(static_cast<int>(f));
  if (options & 4) engine.ClearAllRecords();
  if (options & 8) engine.SetPassword((options & 1) ? "" : "new");
  engine.CloseDatabase();
  return 0;
}
