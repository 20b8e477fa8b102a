// The process owner destroys what it keeps in reverse order of adoption.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/process_objects.h"

namespace {

std::vector<std::string> destroyed;

struct Named {
    explicit Named(std::string n) : name(std::move(n)) {}
    ~Named() { destroyed.push_back(name); }
    std::string name;
};

// Adopts a further object from its destructor, as a service that logs on its way out might.
struct AdoptsOnTheWay {
    explicit AdoptsOnTheWay(platform::ProcessObjects* o) : owner(o) {}
    ~AdoptsOnTheWay() {
        destroyed.push_back("adopter");
        owner->Adopt(new Named("late"));
    }
    platform::ProcessObjects* owner;
};

}  // namespace

TEST(ProcessObjectsTest, TearDownGoesInReverseOrderOfNeedAndOnlyOnce) {
    destroyed.clear();
    platform::ProcessObjects owner;
    Named* library = owner.Adopt(new Named("library"));
    owner.Adopt(new Named("device"));
    EXPECT_EQ(library->name, "library");
    EXPECT_TRUE(destroyed.empty());
    owner.TearDown();
    EXPECT_EQ(destroyed, (std::vector<std::string>{"device", "library"}));
    owner.TearDown();
    EXPECT_EQ(destroyed.size(), 2u);
}

TEST(ProcessObjectsTest, AnObjectAdoptedDuringTearDownGoesToo) {
    destroyed.clear();
    {
        platform::ProcessObjects owner;
        owner.Adopt(new Named("first"));
        owner.Adopt(new AdoptsOnTheWay(&owner));
    }  // the destructor tears down
    EXPECT_EQ(destroyed, (std::vector<std::string>{"adopter", "late", "first"}));
}
