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
  path.setstring(1, 1, "/a/\x12\"\\");
  path.getObjectAccessor(true, true, 2, 5, 100, 2)->setint64(1, 1, 9);
  request.getlistobject(4, 4, true)->push_back(path);
  return request;
}

TEST(MessageBaseTest, ACopyOwnsItsChildrenAndTheTextShowsEveryField) {
  const databrowse::BrowseRequest original = SampleRequest();
  const std::string text =
      "BrowseRequest{1:0 3:GenericEntity{38:106} "
      "4:[BrowsePath{1:\"/a/\\x12\\\"\\\\\" 5:BrowsePathParameters{1:9}}]}";
  EXPECT_EQ(original.toString(), text);
  databrowse::BrowseRequest copy(original);
  copy.getObjectAccessor(false, true, 3, 3, 18, 46)->setint64(14, 38, 53);
  CNMessageBase& path = copy.getlistobject(4, 4, false)->front();
  path.getObjectAccessor(false, true, 2, 5, 100, 2)->setint64(1, 1, 10);
  EXPECT_EQ(original.toString(), text);
  EXPECT_EQ(copy.findList(4)->front().findObject(5)->getint64(1), 10);

  // Assignment copies the class too, and taking the value of one's own
  // child must not read freed memory.
  CNMessageBase assigned(0, 0);
  assigned = SampleRequest();
  EXPECT_TRUE(assigned.getTagID() == databrowse::BrowseRequest::classTagID());
  assigned = *assigned.findObject(3);
  EXPECT_EQ(assigned.toString(), "GenericEntity{38:106}");
  // Fields show by index, whatever order they were set in; unknown classes by id.
  CNMessageBase first(7, 9), second(7, 9);
  first.setint64(2, 20, 1);
  first.setint64(1, 10, 2);
  second.setint64(1, 10, 2);
  second.setint64(2, 20, 1);
  EXPECT_EQ(first.toString(), "Message(7,9){10:2 20:1}");
  EXPECT_EQ(second.toString(), first.toString());
}

TEST(MessageBaseTest, PresenceGoesByIndexValuesByTagAndAccessorsCreateOnlyWhenAsked) {
  ZelEntities::GenericEntity entity;
  entity.setint64(14, 38, 106);
  EXPECT_TRUE(entity.isSet(14) && !entity.isSet(38));
  EXPECT_EQ(entity.getint64(38), 106);
  EXPECT_EQ(entity.getint64(14), 0);
  entity.setstring(14, 38, "text");  // a setter replaces the value whatever its kind
  EXPECT_EQ(entity.getint64(38), 0);
  entity.setlistint(14, 38, nullptr);
  EXPECT_FALSE(entity.isSet(14));

  databrowse::Query query;
  EXPECT_EQ(query.getObjectAccessor(false, false, 5, 8, 100, 71), nullptr);
  EXPECT_EQ(query.getlistobject(3, 6, false), nullptr);
  EXPECT_FALSE(query.isSet(5) || query.isSet(3));
  CNMessageBase* options = query.getObjectAccessor(true, false, 5, 8, 100, 71);
  EXPECT_TRUE(options->getTagID() == databrowse::QueryOptions::classTagID());
  options->setint64(1, 1, 42);
  // An existing child comes back as it is, whatever class is asked for.
  EXPECT_EQ(query.getObjectAccessor(true, true, 5, 8, 1, 1), options);
  EXPECT_EQ(query.findObject(8)->getint64(1), 42);
  query.setObjectAccessor(nullptr, 5, 8);
  EXPECT_FALSE(query.isSet(5));
  query.getlistobject(3, 6, true)->push_back(databrowse::BrowseData());
  EXPECT_EQ(query.findList(6)->size(), 1u);
}

}  // namespace
