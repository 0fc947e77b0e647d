// Parts of one long output made on several threads at once, handed out in
// their order.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <vector>

// At most `makers` parts are under way. Part i is made by maker i % makers,
// and only once that maker's part before it is made, so whatever a maker
// keeps is used by one thread at a time. A part handed out is made again as
// a later one: its buffers keep their size.
template <typename TPart> class TPartsInOrder
{
public:
    using TMake = std::function<void(size_t index, size_t maker, TPart &part)>;

    TPartsInOrder(size_t parts, size_t makers, TMake make)
        : FParts(parts)
        , FMakers(makers < 1 ? 1 : makers)
        , FMake(std::move(make))
    {
        while (FStarted < FParts && FAhead.size() < FMakers)
            StartNext();
    }
    // Parts still under way are waited for, also when a maker failed.
    ~TPartsInOrder()
    {
        for (TSlot &slot : FAhead)
            if (slot.Made.valid())
                slot.Made.wait();
    }
    TPartsInOrder(const TPartsInOrder &) = delete;
    TPartsInOrder &operator=(const TPartsInOrder &) = delete;

    // The next part once made, or null after the last; valid until the next
    // call. A maker's error is thrown here.
    TPart *Next()
    {
        if (FHandedOut) {
            FSpare.push_back(std::move(FAhead.front().Part));
            FAhead.pop_front();
            FHandedOut = false;
            if (FStarted < FParts)
                StartNext();
        }
        if (FAhead.empty())
            return nullptr;
        TSlot &slot = FAhead.front();
        slot.Made.get();
        FHandedOut = true;
        return slot.Part.get();
    }

private:
    struct TSlot
    {
        std::unique_ptr<TPart> Part;
        std::future<void> Made;
    };

    void StartNext()
    {
        std::unique_ptr<TPart> part;
        if (FSpare.empty()) {
            part = std::make_unique<TPart>();
        } else {
            part = std::move(FSpare.back());
            FSpare.pop_back();
        }
        TSlot &slot = FAhead.emplace_back();
        slot.Part = std::move(part);
        slot.Made = std::async(std::launch::async,
            [&make = FMake, &part = *slot.Part, index = FStarted, maker = FStarted % FMakers] {
                make(index, maker, part);
            });
        ++FStarted;
    }

    size_t FParts;
    size_t FMakers;
    TMake FMake; // outlives the parts under way
    std::deque<TSlot> FAhead;
    std::vector<std::unique_ptr<TPart>> FSpare;
    size_t FStarted = 0;
    bool FHandedOut = false;
};
