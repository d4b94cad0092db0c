#include <gtest/gtest.h>

#include "platform/com/ComObject.h"

namespace {
struct IAnimal : IUnknown {
    static constexpr IID iid = MakeGuid("{11111111-0000-0000-0000-000000000001}");
    virtual int Legs() = 0;
};
struct IDog : IAnimal {
    static constexpr IID iid = MakeGuid("{11111111-0000-0000-0000-000000000002}");
    using Base = IAnimal;
    virtual int Bark() = 0;
};
struct IPet : IUnknown {
    static constexpr IID iid = MakeGuid("{11111111-0000-0000-0000-000000000003}");
    virtual int Owner() = 0;
};

int liveDogs = 0;

class Dog : public ComObject<IDog, IPet> {
public:
    Dog() { ++liveDogs; }
    ~Dog() override { --liveDogs; }
    int Legs() override { return 4; }
    int Bark() override { return 7; }
    int Owner() override { return 42; }
};
}  // namespace

TEST(ComObject, QueryInterfaceAnswersEveryInterfaceAndItsParents) {
    {
        ComPtr<Dog> dog = MakeCom<Dog>();
        ComPtr<IAnimal> animal;
        ASSERT_EQ(dog->QueryInterface(IAnimal::iid, animal.ReleaseAndGetVoidAddress()), S_OK);
        EXPECT_EQ(animal->Legs(), 4);
        ComPtr<IPet> pet = QueryAs<IPet>(animal.Get());
        ASSERT_TRUE(pet);
        EXPECT_EQ(pet->Owner(), 42);
        // One identity: IUnknown from any interface is the same pointer.
        ComPtr<IUnknown> a = QueryAs<IUnknown>(pet.Get());
        ComPtr<IUnknown> b = QueryAs<IUnknown>(animal.Get());
        EXPECT_EQ(a.Get(), b.Get());

        void* none = reinterpret_cast<void*>(1);
        EXPECT_EQ(dog->QueryInterface(IClassFactory::iid, &none), E_NOINTERFACE);
        EXPECT_EQ(none, nullptr);
        EXPECT_EQ(dog->QueryInterface(IAnimal::iid, nullptr), E_POINTER);
        EXPECT_EQ(liveDogs, 1);
    }
    EXPECT_EQ(liveDogs, 0);
}

TEST(ComObject, ComPtrCountsReferencesExactly) {
    ComPtr<Dog> dog = MakeCom<Dog>();
    ComPtr<IDog> copy = dog;
    ComPtr<IDog> moved = std::move(copy);
    EXPECT_FALSE(copy);
    EXPECT_EQ(dog->AddRef(), 3u);  // dog, moved, and this call
    EXPECT_EQ(dog->Release(), 2u);
    IDog* raw = moved.Detach();
    EXPECT_EQ(raw->Release(), 1u);
    dog.Reset();
    EXPECT_EQ(liveDogs, 0);
}
