// The exported interface by number: every ordinal resolves to the symbol it names, numbers
// are unique and never change once released, and the library exports nothing else.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct ListEntry {
  unsigned ordinal;
  std::string symbol;
  std::string kind;  // "", "extern" or "retired"
};

std::vector<ListEntry> ReadList(const std::filesystem::path& path) {
  std::vector<ListEntry> entries;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    line = line.substr(0, line.find('#'));
    std::istringstream fields(line);
    ListEntry e{};
    if (!(fields >> e.ordinal >> e.symbol)) continue;
    fields >> e.kind;
    entries.push_back(e);
  }
  return entries;
}

std::vector<ListEntry> ReadAllLists() {
  std::vector<ListEntry> all;
  for (const auto& file :
       std::filesystem::directory_iterator(VEXA_SOURCE_DIR "/src/exports/list")) {
    if (file.path().extension() != ".list") continue;
    for (const ListEntry& e : ReadList(file.path())) all.push_back(e);
  }
  return all;
}

// The names in the dynamic symbol table that the shared object defines.
std::set<std::string> DefinedDynamicSymbols(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::set<std::string> names;
  if (image.size() < sizeof(Elf64_Ehdr)) return names;
  const auto* ehdr = reinterpret_cast<const Elf64_Ehdr*>(image.data());
  const auto* shdrs = reinterpret_cast<const Elf64_Shdr*>(image.data() + ehdr->e_shoff);
  for (int i = 0; i < ehdr->e_shnum; ++i) {
    if (shdrs[i].sh_type != SHT_DYNSYM) continue;
    const Elf64_Shdr& strtab = shdrs[shdrs[i].sh_link];
    const auto* syms = reinterpret_cast<const Elf64_Sym*>(image.data() + shdrs[i].sh_offset);
    const size_t count = shdrs[i].sh_size / sizeof(Elf64_Sym);
    for (size_t k = 1; k < count; ++k) {
      if (syms[k].st_shndx == SHN_UNDEF) continue;
      const int bind = ELF64_ST_BIND(syms[k].st_info);
      if (bind != STB_GLOBAL && bind != STB_WEAK) continue;
      names.insert(image.data() + strtab.sh_offset + syms[k].st_name);
    }
  }
  return names;
}

class OrdinalTable : public ::testing::Test {
 protected:
  void SetUp() override {
    // Kept loaded after dlclose: the library holds its process-wide state until unload, and
    // an unmapped copy would look like leaked memory to the leak checker.
    handle_ = dlopen(VEXA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    ASSERT_NE(handle_, nullptr) << dlerror();
    lookup_ = reinterpret_cast<LookupFn>(dlsym(handle_, "GetExportByOrdinal"));
    ASSERT_NE(lookup_, nullptr);
  }
  void TearDown() override {
    if (handle_) dlclose(handle_);
  }
  using LookupFn = const void* (*)(unsigned);
  void* handle_ = nullptr;
  LookupFn lookup_ = nullptr;
};

TEST_F(OrdinalTable, EveryOrdinalResolvesToTheSymbolItNames) {
  const std::vector<ListEntry> entries = ReadAllLists();
  ASSERT_FALSE(entries.empty());
  for (const ListEntry& e : entries) {
    if (e.kind == "retired") {
      EXPECT_EQ(lookup_(e.ordinal), nullptr) << "retired ordinal " << e.ordinal;
      continue;
    }
    const void* bySymbol = dlsym(handle_, e.symbol.c_str());
    EXPECT_NE(bySymbol, nullptr) << e.symbol << " is not exported";
    EXPECT_EQ(lookup_(e.ordinal), bySymbol) << "ordinal " << e.ordinal << " " << e.symbol;
  }
  EXPECT_EQ(lookup_(0), nullptr);
  EXPECT_EQ(lookup_(99999), nullptr);
}

TEST_F(OrdinalTable, OrdinalsAndSymbolsAreUnique) {
  std::set<unsigned> ordinals;
  std::set<std::string> symbols;
  for (const ListEntry& e : ReadAllLists()) {
    EXPECT_TRUE(ordinals.insert(e.ordinal).second) << "ordinal " << e.ordinal << " used twice";
    if (e.kind != "retired") {
      EXPECT_TRUE(symbols.insert(e.symbol).second) << e.symbol << " has two ordinals";
    }
  }
}

TEST_F(OrdinalTable, ReleasedOrdinalsNeverChange) {
  std::map<unsigned, ListEntry> current;
  for (const ListEntry& e : ReadAllLists()) current[e.ordinal] = e;
  const auto released = ReadList(VEXA_SOURCE_DIR "/src/exports/released/ordinals.txt");
  ASSERT_FALSE(released.empty());
  for (const ListEntry& r : released) {
    auto it = current.find(r.ordinal);
    ASSERT_NE(it, current.end()) << "released ordinal " << r.ordinal << " vanished; retire it";
    if (it->second.kind == "retired") continue;
    EXPECT_EQ(it->second.symbol, r.symbol) << "released ordinal " << r.ordinal << " was reused";
  }
}

TEST_F(OrdinalTable, LibraryExportsNothingOutsideTheTable) {
  std::set<std::string> listed;
  for (const ListEntry& e : ReadAllLists()) listed.insert(e.symbol);
  for (const std::string& name : DefinedDynamicSymbols(VEXA_LIBRARY_PATH)) {
    if (name == "VEXA_1") continue;  // the version node
    EXPECT_TRUE(listed.count(name)) << name << " is exported without an ordinal";
  }
}

}  // namespace
