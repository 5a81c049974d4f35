#include "host/ElfCheck.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "host/HostError.h"
#include "host/InputFile.h"

namespace vask::host {
namespace {

constexpr uint16_t kEtDyn = 3;
#if defined(__x86_64__)
constexpr uint16_t kMachine = 62;  // EM_X86_64
constexpr uint32_t kRelRelative = 8, kRelGlobDat = 6, kRelJumpSlot = 7;  // R_X86_64_*
#elif defined(__aarch64__)
constexpr uint16_t kMachine = 183;  // EM_AARCH64
constexpr uint32_t kRelRelative = 1027, kRelGlobDat = 1025, kRelJumpSlot = 1026;  // R_AARCH64_*
#else
#error "unknown machine"
#endif
constexpr std::size_t kHeaderSize = 64;
constexpr std::size_t kProgramHeaderSize = 56;
constexpr uint64_t kMaxProgramHeaders = 1024;  // a linker writes about a dozen
constexpr uint64_t kMaxImage = 1ull << 30;     // the mapped span of a library
constexpr uint64_t kMaxFile = 1ull << 30;

enum : uint32_t {
  kPtLoad = 1, kPtDynamic = 2, kPtInterp = 3, kPtNote = 4, kPtPhdr = 6, kPtTls = 7,
  kPtGnuEhFrame = 0x6474e550, kPtGnuRelro = 0x6474e552, kPtGnuProperty = 0x6474e553,
};
enum : int64_t {
  kDtNull = 0, kDtNeeded = 1, kDtPltRelSz = 2, kDtPltGot = 3, kDtHash = 4, kDtStrTab = 5,
  kDtSymTab = 6, kDtRela = 7, kDtRelaSz = 8, kDtRelaEnt = 9, kDtStrSz = 10, kDtSymEnt = 11,
  kDtInit = 12, kDtFini = 13, kDtSoName = 14, kDtRPath = 15, kDtRel = 17, kDtRelSz = 18,
  kDtPltRel = 20, kDtJmpRel = 23, kDtInitArray = 25, kDtFiniArray = 26, kDtInitArraySz = 27,
  kDtTextRel = 22, kDtFiniArraySz = 28, kDtRunPath = 29, kDtFlags = 30, kDtPreinitArray = 32,
  kDtPreinitArraySz = 33, kDtRelrSz = 35, kDtRelr = 36, kDtRelrEnt = 37,
  kDtRelaCount = 0x6ffffff9, kDtGnuHash = 0x6ffffef5, kDtVerDefNum = 0x6ffffffd,
  kDtVerNeedNum = 0x6fffffff, kDtVerSym = 0x6ffffff0, kDtVerDef = 0x6ffffffc, kDtVerNeed = 0x6ffffffe,
};
constexpr uint64_t kDfTextRel = 0x4;
constexpr std::size_t kRelaSize = 24;
constexpr std::size_t kSymbolSize = 24;

struct Segment {
  uint32_t type, flags;
  uint64_t offset, vaddr, filesz, memsz, align;
};

// What the loader does with memory: reads it, runs it, writes into it.
enum Access : uint32_t { kExecute = 1, kWrite = 2, kRead = 4 };  // the PF_ bits

class Checker {
 public:
  Checker(std::span<const std::byte> bytes, std::string_view name) : b_(bytes), name_(name) {}

  void run() {
    header();
    programHeaders();
    dynamicTable();
  }

 private:
  [[noreturn]] void fail(const std::string& what) const { throw HostError(name_ + ": " + what); }

  template <class T>
  T at(uint64_t offset) const {
    T v;
    std::memcpy(&v, b_.data() + offset, sizeof v);
    return v;  // little-endian: checked in the header first
  }

  bool inFile(uint64_t offset, uint64_t size) const {
    return offset <= b_.size() && size <= b_.size() - offset;
  }

  void header() {
    if (b_.size() < kHeaderSize)
      fail("not an ELF file (" + std::to_string(b_.size()) + " bytes, shorter than its header)");
    if (std::memcmp(b_.data(), "\x7f" "ELF", 4) != 0) fail("not an ELF file (bad magic at file offset 0)");
    if (at<uint8_t>(4) != 2) fail("not a 64-bit ELF file (EI_CLASS at file offset 4)");
    if (at<uint8_t>(5) != 1) fail("not a little-endian ELF file (EI_DATA at file offset 5)");
    if (at<uint8_t>(6) != 1) fail("ELF version " + std::to_string(at<uint8_t>(6)) + " is not 1 (EI_VERSION at file offset 6)");
    if (at<uint16_t>(0x10) != kEtDyn)
      fail("e_type " + std::to_string(at<uint16_t>(0x10)) + " is not a shared library (3) (e_type at file offset 0x10)");
    if (at<uint16_t>(0x12) != kMachine)
      fail("e_machine " + std::to_string(at<uint16_t>(0x12)) + " is not this machine's (" +
           std::to_string(kMachine) + ") (e_machine at file offset 0x12)");
    if (at<uint32_t>(0x14) != 1) fail("e_version " + std::to_string(at<uint32_t>(0x14)) + " is not 1 (e_version at file offset 0x14)");
    if (at<uint16_t>(0x34) != kHeaderSize)
      fail("e_ehsize " + std::to_string(at<uint16_t>(0x34)) + " is not 64 (e_ehsize at file offset 0x34)");
    if (at<uint16_t>(0x36) != kProgramHeaderSize)
      fail("e_phentsize " + std::to_string(at<uint16_t>(0x36)) + " is not 56 (e_phentsize at file offset 0x36)");
    phoff_ = at<uint64_t>(0x20);
    phnum_ = at<uint16_t>(0x38);
    if (phnum_ == 0 || phnum_ > kMaxProgramHeaders)
      fail("program header count " + std::to_string(phnum_) + " is outside 1 … " +
           std::to_string(kMaxProgramHeaders) + " (e_phnum at file offset 0x38)");
    if (phoff_ % 8 != 0 || !inFile(phoff_, phnum_ * kProgramHeaderSize))
      fail("program header table at " + hexText(phoff_) + " (" + std::to_string(phnum_) +
           " entries) is misaligned or runs past the end of the file (" + std::to_string(b_.size()) +
           " bytes) (e_phoff at file offset 0x20)");
  }

  void programHeaders() {
    uint64_t lastLoad = 0, lastFile = 0;
    for (uint64_t i = 0; i < phnum_; ++i) {
      const uint64_t p = phoff_ + i * kProgramHeaderSize;
      Segment s{at<uint32_t>(p),      at<uint32_t>(p + 4),  at<uint64_t>(p + 8), at<uint64_t>(p + 16),
                at<uint64_t>(p + 32), at<uint64_t>(p + 40), at<uint64_t>(p + 48)};
      const std::string where = "program header " + std::to_string(i) + " (at file offset " + hexText(p) + ")";
      if (!inFile(s.offset, s.filesz))
        fail(where + ": its " + std::to_string(s.filesz) + " bytes at file offset " + hexText(s.offset) +
             " run past the end of the file (" + std::to_string(b_.size()) + " bytes) (p_offset, p_filesz)");
      if (s.align > 1 && (s.align & (s.align - 1)) != 0)
        fail(where + ": alignment " + hexText(s.align) + " is not a power of two (p_align)");
      if (s.type == kPtLoad) {
        if (s.filesz > s.memsz) fail(where + ": p_filesz " + hexText(s.filesz) + " is larger than p_memsz " + hexText(s.memsz));
        if (s.memsz > kMaxImage || s.vaddr > kMaxImage)
          fail(where + ": segment at " + hexText(s.vaddr) + " of " + hexText(s.memsz) + " bytes is beyond any library's size (p_vaddr, p_memsz)");
        if (s.align > 1 && s.vaddr % s.align != s.offset % s.align)
          fail(where + ": p_vaddr " + hexText(s.vaddr) + " and p_offset " + hexText(s.offset) + " disagree modulo p_align " + hexText(s.align));
        // The loader maps the segments one after another over one
        // reservation; overlapping segments would map over each other.
        if (!loads_.empty() && s.vaddr < lastLoad)
          fail(where + ": loadable segments overlap or are not in address order (p_vaddr " + hexText(s.vaddr) +
               " is below the end of the one before, " + hexText(lastLoad) + ")");
        if (!loads_.empty() && s.offset < lastFile)
          fail(where + ": loadable segments overlap in the file or are not in file order (p_offset " + hexText(s.offset) +
               " is below the end of the one before, " + hexText(lastFile) + ")");
        lastLoad = s.vaddr + s.memsz;
        lastFile = s.offset + s.filesz;
        loads_.push_back(s);
      } else {
        others_.push_back({i, where, s});
      }
    }
    if (loads_.empty()) fail("no loadable segment (no PT_LOAD program header)");
    const Segment& last = loads_.back();
    imageEnd_ = last.vaddr + last.memsz;
    if (imageEnd_ - loads_.front().vaddr > kMaxImage)
      fail("the loadable segments span " + hexText(imageEnd_ - loads_.front().vaddr) + " bytes, beyond any library's size");

    bool haveDynamic = false;
    for (const auto& [index, where, s] : others_) {
      switch (s.type) {
        case kPtDynamic:
          if (haveDynamic) fail(where + ": a second dynamic table (PT_DYNAMIC)");
          haveDynamic = true;
          dynamic_ = s;
          if (s.filesz < s.memsz) fail(where + ": the dynamic table is not all in the file (p_filesz < p_memsz)");
          sameInFileAndMemory(where, s);
          break;
        case kPtNote:
        case kPtGnuProperty:
          sameInFileAndMemory(where, s);
          notes(where, s);
          break;
        case kPtTls:
          if (s.filesz > s.memsz) fail(where + ": p_filesz is larger than p_memsz");
          fileOffsetOf(s.vaddr, s.filesz, where + ": the thread-local data", kRead);
          break;
        case kPtGnuRelro:
        case kPtGnuEhFrame:
        case kPtPhdr:
        case kPtInterp:
          requireMapped(where, s.vaddr, s.memsz, false);
          break;
        default:
          break;  // others are not read by the loader of a shared library
      }
    }
    if (!haveDynamic) fail("no dynamic table (no PT_DYNAMIC program header): not a shared library");
  }

  // The address range must lie in one loadable segment (in its file-backed
  // part when the loader reads it as file contents).
  void requireMapped(const std::string& where, uint64_t vaddr, uint64_t size, bool fileBacked) const {
    if (size == 0 && !fileBacked) return;
    for (const Segment& l : loads_) {
      const uint64_t extent = fileBacked ? l.filesz : l.memsz;
      if (vaddr >= l.vaddr && vaddr - l.vaddr <= extent && size <= extent - (vaddr - l.vaddr)) return;
    }
    fail(where + ": its " + hexText(size) + " bytes at address " + hexText(vaddr) +
         " are not inside a loadable segment" + (fileBacked ? "'s file data" : "") + " (p_vaddr, p_memsz)");
  }

  // File offset of `size` bytes at address `vaddr`, which must be file data
  // of one loadable segment that allows `access`.
  uint64_t fileOffsetOf(uint64_t vaddr, uint64_t size, const std::string& what, uint32_t access = kRead) const {
    const Segment* l = segmentOf(vaddr, size, /*fileBacked=*/true);
    if (!l)
      fail(what + ": " + hexText(size) + " bytes at address " + hexText(vaddr) +
           " are not inside the file data of a loadable segment");
    if ((l->flags & access) != access)
      fail(what + ": the segment at " + hexText(l->vaddr) + " that holds it is not " + accessText(access) + " (p_flags)");
    return l->offset + (vaddr - l->vaddr);
  }

  const Segment* segmentOf(uint64_t vaddr, uint64_t size, bool fileBacked) const {
    for (const Segment& l : loads_) {
      const uint64_t extent = fileBacked ? l.filesz : l.memsz;
      if (vaddr >= l.vaddr && vaddr - l.vaddr <= extent && size <= extent - (vaddr - l.vaddr)) return &l;
    }
    return nullptr;
  }

  static std::string accessText(uint32_t access) {
    std::string t;
    if (access & kRead) t = "readable";
    if (access & kWrite) t += t.empty() ? "writable" : " and writable";
    if (access & kExecute) t += t.empty() ? "executable" : " and executable";
    return t;
  }

  // The loader reads this segment's contents in memory at p_vaddr; this
  // check reads them in the file at p_offset. Both must be the same bytes.
  void sameInFileAndMemory(const std::string& where, const Segment& s) const {
    if (fileOffsetOf(s.vaddr, s.memsz, where, kRead) != s.offset)
      fail(where + ": p_offset " + hexText(s.offset) + " is not where its address " + hexText(s.vaddr) +
           " comes from in the file");
  }

  // Note headers in a note segment must each fit the segment.
  void notes(const std::string& where, const Segment& s) const {
    const uint64_t align = s.align <= 4 ? 4 : 8;
    auto up = [align](uint64_t v) { return (v + align - 1) / align * align; };
    uint64_t pos = 0;
    const uint64_t size = std::min(s.filesz, s.memsz);
    while (size - pos >= 12) {
      const uint64_t namesz = at<uint32_t>(s.offset + pos), descsz = at<uint32_t>(s.offset + pos + 4);
      const uint64_t desc = up(pos + 12 + namesz), next = up(desc + descsz);
      if (desc > size || descsz > size - desc || next <= pos)
        fail(where + ": the note at segment offset " + hexText(pos) + " runs past its segment (n_namesz " +
             std::to_string(namesz) + ", n_descsz " + std::to_string(descsz) + ")");
      pos = next;
    }
  }

  void dynamicTable() {
    const std::string where = "dynamic table at file offset " + hexText(dynamic_.offset);
    struct Entry { int64_t tag; uint64_t value; };
    std::vector<Entry> entries;
    bool ended = false;
    for (uint64_t pos = 0; pos + 16 <= dynamic_.filesz; pos += 16) {
      const Entry e{at<int64_t>(dynamic_.offset + pos), at<uint64_t>(dynamic_.offset + pos + 8)};
      if (e.tag == kDtNull) {
        ended = true;
        break;
      }
      entries.push_back(e);
    }
    if (!ended) fail(where + ": no DT_NULL entry ends it within the segment");
    auto find = [&](int64_t tag, bool& present) {
      present = false;
      uint64_t v = 0;
      for (const Entry& e : entries)
        if (e.tag == tag) present = true, v = e.value;
      return v;
    };
    auto name = [](int64_t tag) { std::ostringstream s; s << "tag " << hexText(static_cast<uint64_t>(tag)); return s.str(); };

    // Entries the loader takes for granted once their partner is there.
    auto has = [&](int64_t tag) {
      return std::any_of(entries.begin(), entries.end(), [tag](const Entry& e) { return e.tag == tag; });
    };
    static constexpr struct { int64_t tag, needs; const char* text; } kPairs[] = {
        {kDtNull, kDtStrTab, "a dynamic table without DT_STRTAB"},
        {kDtNull, kDtSymTab, "a dynamic table without DT_SYMTAB"},
        {kDtInitArray, kDtInitArraySz, "DT_INIT_ARRAY without DT_INIT_ARRAYSZ"},
        {kDtFiniArray, kDtFiniArraySz, "DT_FINI_ARRAY without DT_FINI_ARRAYSZ"},
        {kDtPreinitArray, kDtPreinitArraySz, "DT_PREINIT_ARRAY without DT_PREINIT_ARRAYSZ"},
        {kDtRela, kDtRelaSz, "DT_RELA without DT_RELASZ"},
        {kDtRela, kDtRelaEnt, "DT_RELA without DT_RELAENT"},
        {kDtJmpRel, kDtPltRelSz, "DT_JMPREL without DT_PLTRELSZ"},
        {kDtJmpRel, kDtPltRel, "DT_JMPREL without DT_PLTREL"},
        {kDtRelr, kDtRelrSz, "DT_RELR without DT_RELRSZ"},
        {kDtVerNeed, kDtVerNeedNum, "DT_VERNEED without DT_VERNEEDNUM"},
        {kDtVerDef, kDtVerDefNum, "DT_VERDEF without DT_VERDEFNUM"},
    };
    for (const auto& pair : kPairs)
      if ((pair.tag == kDtNull || has(pair.tag)) && !has(pair.needs)) fail(where + ": " + pair.text);

    // Addresses the loader dereferences must lie in the image.
    for (const Entry& e : entries) {
      switch (e.tag) {
        case kDtPltGot: case kDtHash: case kDtStrTab: case kDtSymTab: case kDtRela: case kDtInit:
        case kDtFini: case kDtRel: case kDtJmpRel: case kDtInitArray: case kDtFiniArray:
        case kDtPreinitArray: case kDtGnuHash: case kDtVerSym: case kDtVerDef: case kDtVerNeed: case kDtRelr:
          if (e.value < loads_.front().vaddr || e.value >= imageEnd_)
            fail(where + ": entry " + name(e.tag) + " points to " + hexText(e.value) +
                 ", outside the library's image (" + hexText(loads_.front().vaddr) + " … " + hexText(imageEnd_) + ")");
          break;
        default:
          break;
      }
    }
    bool hasRel = false;
    find(kDtRel, hasRel);
    if (hasRel) fail(where + ": REL relocations (DT_REL) are not used on this machine");
    bool hasRelaEnt = false, hasSymEnt = false;
    const uint64_t relaEnt = find(kDtRelaEnt, hasRelaEnt), symEnt = find(kDtSymEnt, hasSymEnt);
    if (hasRelaEnt && relaEnt != kRelaSize) fail(where + ": DT_RELAENT " + std::to_string(relaEnt) + " is not 24");
    if (hasSymEnt && symEnt != kSymbolSize) fail(where + ": DT_SYMENT " + std::to_string(symEnt) + " is not 24");

    // The string table and the names in it.
    bool hasStr = false, hasStrSz = false;
    const uint64_t strtab = find(kDtStrTab, hasStr), strsz = find(kDtStrSz, hasStrSz);
    if (hasStr != hasStrSz) fail(where + ": DT_STRTAB and DT_STRSZ come only together");
    if (hasStr) {
      const uint64_t off = fileOffsetOf(strtab, strsz, where + ": the string table (DT_STRTAB, DT_STRSZ)");
      for (const Entry& e : entries) {
        if (e.tag != kDtNeeded && e.tag != kDtSoName && e.tag != kDtRPath && e.tag != kDtRunPath) continue;
        if (e.value >= strsz || !std::memchr(b_.data() + off + e.value, 0, strsz - e.value))
          fail(where + ": name of entry " + name(e.tag) + " at string-table offset " + std::to_string(e.value) +
               " is not a terminated string inside the table (" + std::to_string(strsz) + " bytes)");
      }
    } else if (std::any_of(entries.begin(), entries.end(), [](const Entry& e) { return e.tag == kDtNeeded; })) {
      fail(where + ": DT_NEEDED without a string table");
    }

    // Code the loader calls must be code of the library.
    for (int64_t tag : {kDtInit, kDtFini}) {
      bool present = false;
      const uint64_t addr = find(tag, present);
      if (present) fileOffsetOf(addr, 1, where + ": the function of entry " + name(tag), kRead | kExecute);
    }
    // Arrays of constructors and destructors: their slots are filled in by
    // relocations, checked below.
    const std::pair<int64_t, int64_t> arrays[] = {
        {kDtInitArray, kDtInitArraySz}, {kDtFiniArray, kDtFiniArraySz}, {kDtPreinitArray, kDtPreinitArraySz}};
    for (auto [tag, sizeTag] : arrays) {
      bool present = false, hasSize = false;
      const uint64_t addr = find(tag, present), size = find(sizeTag, hasSize);
      if (!present) continue;
      if (size % 8 != 0 || !segmentOf(addr, size, /*fileBacked=*/false))
        fail(where + ": the array of entry " + name(tag) + " (" + std::to_string(size) + " bytes at " + hexText(addr) +
             ") is not inside one segment of the library");
      for (uint64_t slot = 0; slot < size; slot += 8) functionSlots_.push_back(addr + slot);
    }
    // Relocations write into writable segments, unless the library says it
    // relocates its text (the loader then unprotects it first).
    bool hasTextRel = false, hasFlags = false;
    find(kDtTextRel, hasTextRel);
    const uint64_t flags = find(kDtFlags, hasFlags);
    writeAccess_ = hasTextRel || (hasFlags && (flags & kDfTextRel)) ? 0u : uint32_t{kWrite};

    // The symbol table, its hash tables and its versions: the loader looks
    // symbols up through them and trusts every index it finds.
    bool hasSym = false;
    const uint64_t symtab = find(kDtSymTab, hasSym);
    uint64_t symbols = 0;
    if (hasSym) {
      bool hasHash = false, hasGnu = false;
      const uint64_t hash = find(kDtHash, hasHash), gnu = find(kDtGnuHash, hasGnu);
      if (!hasHash && !hasGnu) fail(where + ": a symbol table without a hash table (DT_HASH or DT_GNU_HASH)");
      bool exact = false;
      if (hasHash) {
        symbols = sysvHash(where + ": the hash table (DT_HASH)", hash);
        exact = true;
      }
      if (hasGnu) {
        const auto [count, covered] = gnuHash(where + ": the GNU hash table (DT_GNU_HASH)", gnu);
        if (hasHash && covered && count != symbols)
          fail(where + ": the two hash tables disagree on the number of symbols");
        symbols = std::max(symbols, count);
        exact = exact || covered;
      }
      // With no hashed symbol (nothing defined) only the layout bounds the
      // table: linkers put the string table right after it.
      symbolLimit_ = exact ? symbols
                           : std::max(symbols, hasStr && strtab > symtab ? (strtab - symtab) / kSymbolSize : 0);
      const uint64_t off = fileOffsetOf(symtab, symbols * kSymbolSize, where + ": the symbol table (DT_SYMTAB)");
      for (uint64_t i = 0; i < symbols; ++i) {
        if (at<uint32_t>(off + i * kSymbolSize) >= (hasStr ? strsz : 1))
          fail(where + ": the name of symbol " + std::to_string(i) + " is outside the string table");
      }
      bool hasVersym = false;
      const uint64_t versym = find(kDtVerSym, hasVersym);
      if (hasVersym) fileOffsetOf(versym, symbols * 2, where + ": the symbol versions (DT_VERSYM)");
      bool hasNeed = false, hasDef = false;
      const uint64_t verneed = find(kDtVerNeed, hasNeed), verdef = find(kDtVerDef, hasDef);
      if ((hasNeed || hasDef) && !hasStr) fail(where + ": version tables without a string table");
      if (hasNeed) versions(where + ": the needed versions (DT_VERNEED)", verneed, find(kDtVerNeedNum, hasNeed), strsz, false);
      if (hasDef) versions(where + ": the defined versions (DT_VERDEF)", verdef, find(kDtVerDefNum, hasDef), strsz, true);
    }
    symtab_ = symtab;
    strsz_ = hasStr ? strsz : 0;

    // Relocations: each must write inside the image.
    bool hasRela = false, hasRelaSz = false;
    const uint64_t rela = find(kDtRela, hasRela), relasz = find(kDtRelaSz, hasRelaSz);
    if (hasRela) {
      relocations(where + ": the relocations (DT_RELA, DT_RELASZ)", rela, hasRelaSz ? relasz : 0, hasSym);
      // The loader applies the first DT_RELACOUNT entries as relative ones
      // without looking, and stops the process if one is not.
      bool hasCount = false;
      const uint64_t count = find(kDtRelaCount, hasCount);
      if (hasCount) {
        if (count > (hasRelaSz ? relasz : 0) / kRelaSize)
          fail(where + ": DT_RELACOUNT " + std::to_string(count) + " is more than the relocations held");
        const uint64_t off = fileOffsetOf(rela, count * kRelaSize, where);
        for (uint64_t i = 0; i < count; ++i)
          if (static_cast<uint32_t>(at<uint64_t>(off + i * kRelaSize + 8)) != kRelRelative)
            fail(where + ": relocation " + std::to_string(i) + " is among the first DT_RELACOUNT but is not relative");
      }
    }
    bool hasJmp = false, hasPltSz = false, hasPltRel = false;
    const uint64_t jmprel = find(kDtJmpRel, hasJmp), pltsz = find(kDtPltRelSz, hasPltSz);
    const uint64_t pltrel = find(kDtPltRel, hasPltRel);
    if (hasJmp) {
      if (hasPltRel && pltrel != static_cast<uint64_t>(kDtRela))
        fail(where + ": DT_PLTREL " + std::to_string(pltrel) + " is not RELA");
      relocations(where + ": the PLT relocations (DT_JMPREL, DT_PLTRELSZ)", jmprel, hasPltSz ? pltsz : 0, hasSym);
    }
    bool hasRelr = false, hasRelrSz = false, hasRelrEnt = false;
    const uint64_t relr = find(kDtRelr, hasRelr), relrsz = find(kDtRelrSz, hasRelrSz);
    if (find(kDtRelrEnt, hasRelrEnt) != 8 && hasRelrEnt) fail(where + ": DT_RELRENT is not 8");
    if (hasRelr) relativeRelocations(where + ": the packed relative relocations (DT_RELR, DT_RELRSZ)", relr, hasRelrSz ? relrsz : 0);

    // Every constructor and destructor slot must be filled by a relocation:
    // one to a symbol, or a relative one to code of the library.
    for (uint64_t slot : functionSlots_) {
      const auto it = std::find_if(slotFills_.begin(), slotFills_.end(), [&](const SlotFill& f) { return f.slot == slot; });
      if (it == slotFills_.end())
        fail(where + ": the constructor or destructor slot at " + hexText(slot) + " is not filled by any relocation");
      if (it->relative)
        fileOffsetOf(it->target, 1, where + ": the constructor or destructor at slot " + hexText(slot), kRead | kExecute);
    }
  }

  void relocations(const std::string& what, uint64_t addr, uint64_t size, bool hasSymbols) {
    if (size % kRelaSize != 0) fail(what + ": size " + std::to_string(size) + " is not a whole number of entries");
    const uint64_t off = fileOffsetOf(addr, size, what);
    for (uint64_t pos = 0; pos < size; pos += kRelaSize) {
      const uint64_t target = at<uint64_t>(off + pos);
      const uint64_t info = at<uint64_t>(off + pos + 8);
      const Segment* into = segmentOf(target, 8, /*fileBacked=*/false);
      if (!into || (into->flags & writeAccess_) != writeAccess_)
        fail(what + ": entry " + std::to_string(pos / kRelaSize) + " writes at " + hexText(target) +
             (into ? ", in a segment that is not writable" : ", outside the library's segments"));
      if (std::find(functionSlots_.begin(), functionSlots_.end(), target) != functionSlots_.end())
        slotFills_.push_back({target, static_cast<uint32_t>(info) == kRelRelative, at<uint64_t>(off + pos + 16)});
      const uint64_t symbol = info >> 32;
      const auto type = static_cast<uint32_t>(info);
      const std::string entry = what + ": entry " + std::to_string(pos / kRelaSize);
      if (symbol == 0) {
        // These types take the symbol's address; without one the slot gets
        // the library's base, which its code would then call.
        if (type == kRelGlobDat || type == kRelJumpSlot) fail(entry + " binds a symbol slot to no symbol");
        continue;
      }
      if (!hasSymbols) fail(entry + " names symbol " + std::to_string(symbol) + " but there is no symbol table");
      if (symbol >= symbolLimit_)
        fail(entry + " names symbol " + std::to_string(symbol) + ", past the symbol table (" +
             std::to_string(symbolLimit_) + " symbols)");
      checkSymbol(symbol, entry + " names symbol " + std::to_string(symbol));
    }
  }

  // A symbol a relocation binds to: its name in the string table; if
  // undefined, global or weak with default visibility (anything else binds
  // to the library's own base); if defined as a function, inside its code.
  void checkSymbol(uint64_t index, const std::string& what) const {
    const uint64_t s = fileOffsetOf(symtab_ + index * kSymbolSize, kSymbolSize, what);
    if (at<uint32_t>(s) >= strsz_) fail(what + ", whose name is outside the string table");
    const unsigned info = at<uint8_t>(s + 4), other = at<uint8_t>(s + 5), binding = info >> 4, kind = info & 0xf;
    const unsigned section = at<uint16_t>(s + 6);
    const uint64_t value = at<uint64_t>(s + 8);
    constexpr unsigned kGlobal = 1, kWeak = 2, kFunc = 2, kIfunc = 10, kUndef = 0, kAbs = 0xfff1;
    if (section == kUndef) {
      if ((binding != kGlobal && binding != kWeak) || (other & 3) != 0 || kind == kIfunc)
        fail(what + ", an undefined symbol that is not global or weak with default visibility");
    } else if ((kind == kFunc || kind == kIfunc) && section != kAbs) {
      fileOffsetOf(value, 1, what + ", a function outside the library's code", kRead | kExecute);
    }
  }

  // Packed relative relocations: an even word is an address to relocate
  // (then the next one), an odd word a bitmap of the 63 words that follow.
  // The addend is the word already stored at the address.
  void relativeRelocations(const std::string& what, uint64_t addr, uint64_t size) {
    if (size % 8 != 0) fail(what + ": size " + std::to_string(size) + " is not a whole number of words");
    const uint64_t off = fileOffsetOf(addr, size, what);
    uint64_t base = 0;
    bool haveBase = false;
    auto apply = [&](uint64_t target, uint64_t index) {
      const Segment* into = segmentOf(target, 8, /*fileBacked=*/false);
      if (!into || (into->flags & writeAccess_) != writeAccess_)
        fail(what + ": word " + std::to_string(index) + " relocates " + hexText(target) +
             (into ? ", in a segment that is not writable" : ", outside the library's segments"));
      if (std::find(functionSlots_.begin(), functionSlots_.end(), target) != functionSlots_.end()) {
        const Segment* data = segmentOf(target, 8, /*fileBacked=*/true);
        slotFills_.push_back({target, true, data ? at<uint64_t>(data->offset + (target - data->vaddr)) : 0});
      }
    };
    for (uint64_t i = 0; i < size / 8; ++i) {
      const uint64_t word = at<uint64_t>(off + 8 * i);
      if ((word & 1) == 0) {
        apply(word, i);
        base = word + 8;
        haveBase = true;
      } else {
        if (!haveBase) fail(what + ": word " + std::to_string(i) + " is a bitmap before any address");
        for (uint64_t bit = 1; bit < 64; ++bit)
          if ((word >> bit) & 1) apply(base + (bit - 1) * 8, i);
        base += 63 * 8;
      }
    }
  }

  // A System V hash table: nbucket, nchain, buckets, chains; every index
  // below nchain, which is the number of symbols.
  uint64_t sysvHash(const std::string& what, uint64_t addr) const {
    const uint64_t head = fileOffsetOf(addr, 8, what);
    const uint64_t nbucket = at<uint32_t>(head), nchain = at<uint32_t>(head + 4);
    const uint64_t off = fileOffsetOf(addr, 8 + 4 * (nbucket + nchain), what);
    for (uint64_t i = 0; i < nbucket + nchain; ++i) {
      if (at<uint32_t>(off + 8 + 4 * i) >= nchain)
        fail(what + ": entry " + std::to_string(i) + " is not below the chain count " + std::to_string(nchain));
    }
    return nchain;
  }

  // A GNU hash table: nbuckets, symoffset, bloom size and shift, the bloom
  // words, the buckets, then one chain word per symbol from symoffset on,
  // each chain ending with a word whose low bit is set. Gives the number of
  // symbols the table covers.
  std::pair<uint64_t, bool> gnuHash(const std::string& what, uint64_t addr) const {
    const uint64_t head = fileOffsetOf(addr, 16, what);
    const uint64_t nbuckets = at<uint32_t>(head), symoffset = at<uint32_t>(head + 4);
    const uint64_t bloom = at<uint32_t>(head + 8);
    if (nbuckets == 0) fail(what + ": no buckets");
    if (bloom == 0 || (bloom & (bloom - 1)) != 0)
      fail(what + ": bloom filter size " + std::to_string(bloom) + " is not a power of two");
    const uint64_t bucketsAt = 16 + 8 * bloom;
    const uint64_t off = fileOffsetOf(addr, bucketsAt + 4 * nbuckets, what);
    uint64_t last = 0;
    for (uint64_t i = 0; i < nbuckets; ++i) {
      const uint64_t b = at<uint32_t>(off + bucketsAt + 4 * i);
      if (b != 0 && b < symoffset) fail(what + ": bucket " + std::to_string(i) + " is below symoffset");
      last = std::max(last, b);
    }
    if (last == 0) return {symoffset, false};
    // Walk the last chain to its end, inside the file data.
    const uint64_t chainsAt = addr + bucketsAt + 4 * nbuckets;
    for (uint64_t i = last;; ++i) {
      if (i - symoffset > kMaxImage / 4) fail(what + ": a chain does not end");
      const uint64_t word = at<uint32_t>(fileOffsetOf(chainsAt + 4 * (i - symoffset), 4, what));
      if (word & 1) return {i + 1, true};
    }
  }

  // Version needs (vn_cnt, vn_file, vn_aux, vn_next; auxiliaries with
  // vna_name and vna_next) or definitions (vd_cnt, vd_aux, vd_next;
  // auxiliaries with vda_name and vda_next): every link inside the file data,
  // every name inside the string table, `count` entries at most.
  void versions(const std::string& what, uint64_t addr, uint64_t count, uint64_t strsz, bool definitions) const {
    if (count == 0 || count > 4096) fail(what + ": count " + std::to_string(count) + " is outside 1 … 4096");
    auto name = [&](uint64_t at, const char* field) {
      if (at >= strsz) fail(what + ": " + field + " " + std::to_string(at) + " is outside the string table");
    };
    uint64_t entry = addr;
    for (uint64_t n = 0; n < count; ++n) {
      const uint64_t e = fileOffsetOf(entry, definitions ? 20 : 16, what);
      const uint64_t cnt = at<uint16_t>(e + (definitions ? 6 : 2));
      if (!definitions) name(at<uint32_t>(e + 4), "vn_file");
      const uint64_t aux = at<uint32_t>(e + (definitions ? 12 : 8));
      const uint64_t next = at<uint32_t>(e + (definitions ? 16 : 12));
      uint64_t a = entry + aux;
      for (uint64_t k = 0; k < cnt; ++k) {
        const uint64_t x = fileOffsetOf(a, definitions ? 8 : 16, what);
        name(at<uint32_t>(x + (definitions ? 0 : 8)), definitions ? "vda_name" : "vna_name");
        const uint64_t anext = at<uint32_t>(x + (definitions ? 4 : 12));
        if (anext == 0) break;
        a += anext;
      }
      if (next == 0) break;
      entry += next;
    }
  }

  struct Other {
    uint64_t index;
    std::string where;
    Segment s;
  };

  std::span<const std::byte> b_;
  std::string name_;
  uint64_t phoff_ = 0, phnum_ = 0, imageEnd_ = 0;
  uint64_t symbolLimit_ = 0, symtab_ = 0, strsz_ = 0;  // symbols a relocation may name
  uint32_t writeAccess_ = kWrite;                   // what a relocation's segment must allow
  struct SlotFill {
    uint64_t slot;
    bool relative;
    uint64_t target;  // the addend of a relative relocation
  };
  std::vector<uint64_t> functionSlots_;  // addresses of constructor and destructor slots
  std::vector<SlotFill> slotFills_;
  std::vector<Segment> loads_;
  std::vector<Other> others_;
  Segment dynamic_{};
};

}  // namespace

void checkLoadableElf(std::span<const std::byte> bytes, std::string_view name) {
  Checker(bytes, name).run();
}

void checkLoadableElf(const std::filesystem::path& path) {
  const InputFile file(path);
  if (file.size() > kMaxFile)
    throw HostError(file.name() + ": " + std::to_string(file.size()) + " bytes is too large for an effect library");
  const std::vector<std::byte> bytes = file.read(0, file.size(), "the library");
  checkLoadableElf(bytes, file.name());
}

}  // namespace vask::host
