// mkstore: writes an empty local store with every table and the blank template rows.
//
//   mkstore PATH            create PATH; fails when it exists
//   mkstore --update PATH   create PATH when missing, or rewrite it when its layout is older
//                           and it holds no local bills; a store with bills is never replaced
#include "U_Schema.h"
#include "U_Store.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

int LocalBillRows(TStore& store) {
  int rows = 0;
  for (const char* t : {"进销草稿", "收付草稿", "序列号草稿"})
    rows += static_cast<int>(AsInt(store.Query(std::string("Select Count(*) From ") + t).Rows[0][0]));
  return rows;
}

} // namespace

int main(int argc, char** argv) {
  bool update = argc == 3 && std::strcmp(argv[1], "--update") == 0;
  if (argc != 2 && !update) {
    std::fprintf(stderr, "usage: mkstore [--update] PATH\n");
    return 2;
  }
  const std::string path = argv[argc - 1];
  try {
    if (update && std::filesystem::exists(path)) {
      TStore store(path);
      int version = -1;
      try {
        version = static_cast<int>(AsInt(store.Query("PRAGMA user_version").Rows[0][0]));
        if (version == SchemaVersion()) return 0;
        if (LocalBillRows(store) > 0) {
          std::fprintf(stderr, "mkstore: %s holds local bills and keeps its older layout\n", path.c_str());
          return 0;
        }
      } catch (const EStoreError&) {
        // Not a store we can read: it holds nothing to keep.
      }
      store.Close();
      std::filesystem::remove(path);
    }
    const std::string temp = path + ".new";
    std::filesystem::remove(temp);
    CreateStore(temp);
    std::filesystem::rename(temp, path);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mkstore: %s\n", e.what());
    return 1;
  }
  return 0;
}
