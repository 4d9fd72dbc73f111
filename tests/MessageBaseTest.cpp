// The message base: value semantics, the two ways of naming a field, the
// accessors that create children, and the text form.
#include <gtest/gtest.h>

#include "BrowseMessages.h"

namespace {

// A request with a child, a list of children and a grandchild.
databrowse::BrowseRequest SampleRequest() {
  databrowse::BrowseRequest request;
  request.setint64(1, 1, 0);
  request.getObjectAccessor(true, true, 3, 3, 18, 46)->setint64(14, 38, 106);
  databrowse::BrowsePath path;
  path.setstring(1, 1, "/a/b");
  path.getObjectAccessor(true, true, 2, 5, 100, 2)->setint64(1, 1, 9);
  request.getlistobject(4, 4, true)->push_back(path);
  return request;
}

TEST(MessageBaseCopy, ACopyOwnsItsChildrenAndLists) {
  const databrowse::BrowseRequest original = SampleRequest();
  const std::string before = original.toString();
  databrowse::BrowseRequest copy(original);
  copy.getObjectAccessor(false, true, 3, 3, 18, 46)->setint64(14, 38, 53);
  CNMessageBase& path = copy.getlistobject(4, 4, false)->front();
  path.setstring(1, 1, "/changed");
  path.getObjectAccessor(false, true, 2, 5, 100, 2)->setint64(1, 1, 10);
  EXPECT_EQ(original.toString(), before);
  EXPECT_EQ(copy.findObject(3)->getint64(38), 53);
  EXPECT_EQ(copy.findList(4)->front().findObject(5)->getint64(1), 10);

  // Assignment copies the class id too and outlives its source.
  CNMessageBase assigned(0, 0);
  {
    const databrowse::BrowseRequest source = SampleRequest();
    assigned = source;
  }
  EXPECT_TRUE(assigned.getTagID() == databrowse::BrowseRequest::classTagID());
  EXPECT_EQ(assigned.toString(), before);
  // Taking the value of one's own child must not read freed memory.
  assigned = *assigned.findObject(3);
  EXPECT_EQ(assigned.toString(), "GenericEntity{38:106}");
}

TEST(MessageBaseFields, PresenceGoesByIndexAndValuesByTag) {
  ZelEntities::GenericEntity entity;
  entity.setint64(14, 38, 106);
  entity.setstring(10, 25, "guid");
  EXPECT_TRUE(entity.isSet(14));
  EXPECT_FALSE(entity.isSet(38));
  EXPECT_EQ(entity.getint64(38), 106);
  EXPECT_EQ(entity.getint64(14), 0);
  EXPECT_EQ(entity.getstring(10, 25), "guid");
  EXPECT_EQ(entity.tags(), (std::vector<int>{25, 38}));  // index order: 10, 14
  // A setter replaces whatever the index held, whatever its kind.
  entity.setstring(14, 38, "text");
  EXPECT_EQ(entity.getint64(38), 0);
  EXPECT_EQ(entity.getstring(14, 38), "text");
  entity.setlistint(14, 38, nullptr);
  EXPECT_FALSE(entity.isSet(14));
}

TEST(MessageBaseFields, AccessorsCreateOnlyWhenAskedAndEditInPlace) {
  databrowse::Query query;
  EXPECT_EQ(query.getObjectAccessor(false, false, 5, 8, 100, 71), nullptr);
  EXPECT_EQ(query.getlistobject(3, 6, false), nullptr);
  EXPECT_FALSE(query.isSet(5) || query.isSet(3));

  CNMessageBase* options = query.getObjectAccessor(true, false, 5, 8, 100, 71);
  EXPECT_TRUE(options->getTagID() == databrowse::QueryOptions::classTagID());
  EXPECT_TRUE(query.isSet(5));
  options->setint64(1, 1, 42);
  // An existing child comes back as it is, whatever class is asked for.
  EXPECT_EQ(query.getObjectAccessor(true, true, 5, 8, 1, 1), options);
  EXPECT_EQ(query.findObject(8)->getint64(1), 42);
  query.setObjectAccessor(nullptr, 5, 8);
  EXPECT_FALSE(query.isSet(5));

  std::vector<CNMessageBase>* items = query.getlistobject(3, 6, true);
  items->push_back(databrowse::BrowseData());
  items->back().setstring(5, 5, "x");
  EXPECT_EQ(query.getlistobject(3, 6, false), items);
  EXPECT_EQ(query.findList(6)->at(0).getstring(5, 5), "x");
}

TEST(MessageBaseText, SerializeIsCompactDeterministicAndEscaped) {
  EXPECT_EQ(SampleRequest().toString(),
            "BrowseRequest{1:0 3:GenericEntity{38:106} "
            "4:[BrowsePath{1:\"/a/b\" 5:BrowsePathParameters{1:9}}]}");

  Indexing::BrowseReq request;
  request.setstring(84, 138, std::string("/f\x12") + "A\"\\");
  const std::vector<int> fields{32, 134};
  request.setlistint(1, 1, &fields);
  std::string withIndices;
  request.serialize(withIndices, true);
  EXPECT_EQ(withIndices, "BrowseReq{1/1:[32 134] 138/84:\"/f\\x12A\\\"\\\\\"}");

  // The order in which fields were set does not show; unknown classes by id.
  CNMessageBase first(7, 9), second(7, 9);
  first.setint64(2, 20, 1);
  first.setint64(1, 10, 2);
  second.setint64(1, 10, 2);
  second.setint64(2, 20, 1);
  EXPECT_EQ(first.toString(), second.toString());
  EXPECT_EQ(first.toString(), "Message(7,9){10:2 20:1}");
}

}  // namespace
