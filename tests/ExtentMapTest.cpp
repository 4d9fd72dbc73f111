// The extent map against std::map, over the insert orders that shape it:
// the runs, dense and sparse layouts in every order, and the orders that
// split, join and re-encode chunks; and its heap bytes against the B-tree's
// for the same records.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "absl/container/btree_map.h"
#include "map/ExtentMap.h"
#include "map/HeapCost.h"

namespace {

using Extent = unsigned long long;
using Record = AFileInfoInternal;
using Insert = std::pair<Extent, Record>;
using Inserts = std::vector<Insert>;
using Reference = std::map<Extent, Record>;

constexpr Extent kLast = ~0ull;

Record MakeRecord(Extent afileId, Extent afileValue, bool isEmpty = false) {
  Record record;
  record.afileId = afileId;
  record.afileValue = afileValue;
  record.isEmpty = isEmpty;
  return record;
}

Extent Mix(Extent x) {  // splitmix64's finaliser: a fixed random value per input
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// 64 extents an archive file, values stepping by 65536, every fifth file empty.
Record Runs(Extent e) { return MakeRecord(e / 64, e * 65536, e / 64 % 5 == 0); }
Record Random(Extent e) { return MakeRecord(Mix(e), Mix(~e), Mix(e) % 7 == 0); }
Record Alternating(Extent e) { return MakeRecord(e % 2, e); }
// One archive file a chunk and one step, the empty flag changing every 5 extents.
Record EmptyInRuns(Extent e) { return MakeRecord(e / 256, e, e / 5 % 2 == 0); }

Inserts Layout(Extent first, Extent count, Extent stride, Record (*of)(Extent)) {
  Inserts inserts;
  for (Extent i = 0; i < count; ++i)
    inserts.emplace_back(first + i * stride, of(first + i * stride));
  return inserts;
}
Inserts Shuffled(Inserts inserts, unsigned seed = 30) {
  std::shuffle(inserts.begin(), inserts.end(), std::mt19937_64(seed));
  return inserts;
}
Inserts Descending(Inserts inserts) { return Inserts(inserts.rbegin(), inserts.rend()); }
Inserts Then(Inserts inserts, const Inserts& more) {
  inserts.insert(inserts.end(), more.begin(), more.end());
  return inserts;
}

// Runs, then one extent inside a run and one at a run's edge replaced with
// a thousand other values each, then put back; then one given the other
// empty flag.
Inserts Replaced() {
  Inserts inserts = Layout(0, 4096, 1, Runs);
  for (Extent i = 0; i < 1000; ++i) {
    inserts.emplace_back(1000, Random(i));
    inserts.emplace_back(1023 + i % 2, Alternating(i));
  }
  const Record flipped = MakeRecord(Runs(2000).afileId, Runs(2000).afileValue, !Runs(2000).isEmpty);
  return Then(inserts,
              {{1000, Runs(1000)}, {1023, Runs(1023)}, {1024, Runs(1024)}, {2000, flipped}});
}

// Runs broken at every seventh extent, then healed in another order.
Inserts BrokenAndHealed() {
  Inserts broken, healed;
  for (Extent e = 3; e < 8192; e += 7) {
    broken.emplace_back(e, Random(e));
    healed.emplace_back(e, Runs(e));
  }
  return Then(Then(Layout(0, 8192, 1, Runs), broken), Shuffled(healed));
}

// A dense stretch long enough to be laid out by arithmetic, then a tenth
// of it replaced at random, with the other empty flag half the time.
Inserts DenseReplaced() {
  Inserts inserts = Layout(0, 40000, 1, Random);
  std::mt19937_64 random(3);
  for (int i = 0; i < 4000; ++i) {
    const Extent e = random() % 40000;
    inserts.emplace_back(e, MakeRecord(random(), random(), random() % 2 == 0));
  }
  return inserts;
}

// 11, 12 and 13 records a chunk (either side of the count that makes a
// chunk), always at the chunk's first and last extent.
Inserts ChunkEdges() {
  Inserts inserts;
  for (Extent chunk = 0; chunk < 300; ++chunk) {
    const Extent base = chunk * 256, records = 11 + chunk % 3;
    for (Extent i = 0; i < records; ++i) {
      const Extent e = base + (i == 0 ? 0 : i == 1 ? 255 : 2 + i * 19);
      inserts.emplace_back(e, chunk % 2 ? Runs(e) : Random(e));
    }
  }
  return Shuffled(inserts);
}

// Extents drawn at random in a few chunks, each time with its run record
// or a random one: chunks flip between encodings and runs split and join.
Inserts Churn() {
  std::mt19937_64 random(7);
  Inserts inserts;
  for (int i = 0; i < 40000; ++i) {
    const Extent e = random() % 1500;
    inserts.emplace_back(e, random() % 4 ? Runs(e) : Random(i));
  }
  return inserts;
}

// Groups of 8 extents of one archive file, each group stepping by 1, 2 or
// 3 and going on from where the group before stopped: runs that meet with
// the wrong step, in whichever order they come.
Inserts StepsThatMeet() {
  Inserts inserts;
  Extent value = 0;
  for (Extent e = 0; e < 20000; ++e) {
    inserts.emplace_back(e, MakeRecord(e / 256, value));
    value += 1 + e / 8 % 3;
  }
  return Shuffled(inserts);
}

const struct Case {
  const char* name;
  std::function<Inserts()> make;
} kCases[] = {
    {"runs ascending", [] { return Layout(0, 20000, 1, Runs); }},
    {"runs descending", [] { return Descending(Layout(0, 20000, 1, Runs)); }},
    {"runs shuffled", [] { return Shuffled(Layout(0, 20000, 1, Runs)); }},
    {"dense ascending", [] { return Layout(0, 20000, 1, Random); }},
    {"dense descending", [] { return Descending(Layout(0, 20000, 1, Random)); }},
    {"dense shuffled", [] { return Shuffled(Layout(0, 20000, 1, Random)); }},
    {"sparse shuffled", [] { return Shuffled(Layout(5, 3000, 65536, Random)); }},
    {"alternating archive files", [] { return Layout(0, 20000, 1, Alternating); }},
    {"empty flags inside runs", [] { return Shuffled(Layout(0, 20000, 1, EmptyInRuns)); }},
    {"every other extent", [] { return Shuffled(Layout(0, 10000, 2, Runs)); }},
    {"every third extent", [] { return Layout(1, 7000, 3, Runs); }},
    {"one extent replaced", Replaced},
    {"dense, then replaced at random", DenseReplaced},
    {"runs broken and healed", BrokenAndHealed},
    {"chunk edges", ChunkEdges},
    {"churn", Churn},
    {"steps that meet", StepsThatMeet},
    {"near 2^64",
     [] {
       return Shuffled(Then(Layout(kLast - 2999, 3000, 1, Runs), {{0, Runs(0)}}));
     }},
    {"far from 0, dense", [] { return Shuffled(Layout(1ull << 40, 20000, 1, Random)); }},
    {"dense segments, and the next begun", [] { return Layout(0, 4 * 4096 + 12, 1, Random); }},
    {"dense in far pieces",
     [] { return Then(Layout(1ull << 32, 5000, 1, Runs), Layout(0, 5000, 1, Random)); }},
};

bool Same(const Record& a, const Record& b) {
  return a.afileId == b.afileId && a.afileValue == b.afileValue && a.isEmpty == b.isEmpty;
}

// Find and NextAtOrAfter at `extent` answer as the reference does.
void ExpectProbe(const ExtentMap& map, const Reference& reference, Extent extent) {
  Record found = MakeRecord(1, 2, true);
  const auto held = reference.find(extent);
  ASSERT_EQ(map.Find(extent, found), held != reference.end()) << "Find " << extent;
  ASSERT_TRUE(Same(found, held != reference.end() ? held->second : MakeRecord(1, 2, true)))
      << "Find " << extent;
  Extent next = 0;
  const auto after = reference.lower_bound(extent);
  ASSERT_EQ(map.NextAtOrAfter(extent, next, found), after != reference.end()) << "Next " << extent;
  if (after != reference.end()) {
    ASSERT_EQ(next, after->first) << "Next " << extent;
    ASSERT_TRUE(Same(found, after->second)) << "Next " << extent;
  }
}

void ExpectSameContents(const ExtentMap& map, const Reference& reference) {
  ASSERT_EQ(map.Size(), reference.size());
  ASSERT_EQ(map.Empty(), reference.empty());
  Inserts visited;
  map.ForEach([&visited](Extent e, const Record& record) { visited.emplace_back(e, record); });
  ASSERT_EQ(visited.size(), reference.size());
  auto held = reference.begin();
  for (const Insert& insert : visited) {
    ASSERT_EQ(insert.first, held->first);
    ASSERT_TRUE(Same(insert.second, held->second)) << insert.first;
    ++held;
  }
  for (const auto& [e, record] : reference) {
    for (Extent probe : {e - 1, e, e + 1})
      ASSERT_NO_FATAL_FAILURE(ExpectProbe(map, reference, probe));
  }
  for (Extent probe : {0ull, 1ull, 255ull, 256ull, kLast - 256, kLast - 1, kLast})
    ASSERT_NO_FATAL_FAILURE(ExpectProbe(map, reference, probe));
}

template <class T>
using Counted = extentmap::CountingAllocator<T>;
using CountedBtree =
    absl::btree_map<Extent, Record, std::less<Extent>, Counted<std::pair<const Extent, Record>>>;

// What the B-tree the map replaces holds for the same inserts.
std::size_t BtreeBytes(const Inserts& inserts) {
  std::size_t bytes = 0;
  CountedBtree btree{std::less<Extent>(), Counted<int>(&bytes)};
  for (const Insert& insert : inserts) btree.insert_or_assign(insert.first, insert.second);
  return bytes;
}

TEST(ExtentMapTest, EveryInsertOrderAnswersAsAnOrderedMapAndHoldsNoMoreThanTheBtree) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const Inserts inserts = c.make();
    ExtentMap map;
    Reference reference;
    std::mt19937_64 random(11);
    for (std::size_t i = 0; i < inserts.size(); ++i) {
      map.Assign(inserts[i].first, inserts[i].second);
      reference[inserts[i].first] = inserts[i].second;
      if (i % 499 == 0) {  // now and then, around what just came and anywhere
        const Extent e = inserts[i].first;
        for (Extent probe : {e, e + 1, e - 1, Extent(e + random() % 600 - 300), Extent(random())})
          ASSERT_NO_FATAL_FAILURE(ExpectProbe(map, reference, probe));
      }
    }
    ASSERT_NO_FATAL_FAILURE(ExpectSameContents(map, reference));
    // The B-tree has no fixed part on the heap; the map's is a few hundred bytes.
    EXPECT_LE(map.HeapBytes(), BtreeBytes(inserts) + 1024)
        << static_cast<double>(map.HeapBytes()) / map.Size() << " B a record";
  }
}

TEST(ExtentMapTest, TheThreeLayoutsStayWithinTheirBytesPerExtent) {
  const struct {
    const char* name;
    Inserts inserts;
    double bytesPerExtent;
  } layouts[] = {
      {"runs", Layout(0, 1 << 20, 1, Runs), 2},
      {"runs shuffled", Shuffled(Layout(0, 1 << 18, 1, Runs)), 2},
      {"dense", Layout(0, 1 << 20, 1, Random), 18},
      {"dense shuffled", Shuffled(Layout(0, 1 << 18, 1, Random)), 18},
      {"sparse", Layout(0, 1 << 16, 65536, Random), 38},
  };
  for (const auto& layout : layouts) {
    ExtentMap map;
    for (const Insert& insert : layout.inserts) map.Assign(insert.first, insert.second);
    ASSERT_EQ(map.Size(), layout.inserts.size()) << layout.name;
    EXPECT_LE(static_cast<double>(map.HeapBytes()) / map.Size(), layout.bytesPerExtent)
        << layout.name;
  }
}

TEST(ExtentMapTest, ClearGivesTheMemoryBackAndTheMapFillsAgain) {
  ExtentMap map;
  const std::size_t empty = map.HeapBytes();
  Record record;
  Extent extent = 0;
  EXPECT_FALSE(map.NextAtOrAfter(0, extent, record));
  for (int round = 0; round < 2; ++round) {
    Reference reference;
    for (const Insert& insert :
         Then(Layout(0, 5000, 1, Random), Layout(kLast - 99, 100, 1, Runs))) {
      map.Assign(insert.first, insert.second);
      reference[insert.first] = insert.second;
    }
    ASSERT_NO_FATAL_FAILURE(ExpectSameContents(map, reference));
    map.Clear();
    EXPECT_TRUE(map.Empty());
    EXPECT_EQ(map.HeapBytes(), empty);
    EXPECT_FALSE(map.Find(42, record));
    EXPECT_FALSE(map.NextAtOrAfter(0, extent, record));
  }
}

}  // namespace
