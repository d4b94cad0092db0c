#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/dshow/base/MemAllocator.h"

namespace {
ComPtr<MemAllocator> MakeAllocator(LONG count, LONG size, LONG align = 1) {
    ComPtr<MemAllocator> allocator = MakeCom<MemAllocator>();
    ALLOCATOR_PROPERTIES request, actual;
    request.cBuffers = count;
    request.cbBuffer = size;
    request.cbAlign = align;
    EXPECT_EQ(allocator->SetProperties(&request, &actual), S_OK);
    return allocator;
}
}  // namespace

TEST(MemAllocator, HandsOutItsPoolAndTakesSamplesBack) {
    ComPtr<MemAllocator> allocator = MakeAllocator(2, 1000, 64);
    ComPtr<IMediaSample> a, b, c;
    EXPECT_EQ(allocator->GetBuffer(a.ReleaseAndGetAddressOf(), nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    ASSERT_EQ(allocator->Commit(), S_OK);
    ASSERT_EQ(allocator->GetBuffer(a.ReleaseAndGetAddressOf(), nullptr, nullptr, 0), S_OK);
    ASSERT_EQ(allocator->GetBuffer(b.ReleaseAndGetAddressOf(), nullptr, nullptr, 0), S_OK);
    BYTE* p = nullptr;
    a->GetPointer(&p);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 64, 0u);
    EXPECT_EQ(a->GetSize(), 1000);
    EXPECT_EQ(allocator->GetBuffer(c.ReleaseAndGetAddressOf(), nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
    EXPECT_EQ(allocator->OutstandingCount(), 2);

    // While samples are out the sizes cannot change.
    ALLOCATOR_PROPERTIES request, actual;
    request.cBuffers = 3;
    request.cbBuffer = 10;
    EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_ALREADY_COMMITTED);

    BYTE* first = p;
    a.Reset();
    EXPECT_EQ(allocator->OutstandingCount(), 1);
    ASSERT_EQ(allocator->GetBuffer(c.ReleaseAndGetAddressOf(), nullptr, nullptr, AM_GBF_NOWAIT), S_OK);
    c->GetPointer(&p);
    EXPECT_EQ(p, first);  // the same buffer again: nothing allocated per sample
    // A reused sample starts clean.
    EXPECT_EQ(c->GetActualDataLength(), 0);
    REFERENCE_TIME s, e;
    EXPECT_EQ(c->GetTime(&s, &e), VFW_E_SAMPLE_TIME_NOT_SET);
}

TEST(MemAllocator, DecommitWakesAWaitingGetBuffer) {
    ComPtr<MemAllocator> allocator = MakeAllocator(1, 16);
    ASSERT_EQ(allocator->Commit(), S_OK);
    ComPtr<IMediaSample> held;
    ASSERT_EQ(allocator->GetBuffer(held.ReleaseAndGetAddressOf(), nullptr, nullptr, 0), S_OK);
    std::atomic<HRESULT> result{S_OK};
    std::thread waiter([&] {
        ComPtr<IMediaSample> sample;
        result = allocator->GetBuffer(sample.ReleaseAndGetAddressOf(), nullptr, nullptr, 0);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    allocator->Decommit();
    waiter.join();
    EXPECT_EQ(result.load(), VFW_E_NOT_COMMITTED);
}

TEST(MemAllocator, AnOutstandingSampleKeepsItsAllocatorAlive) {
    ComPtr<IMediaSample> sample;
    {
        ComPtr<MemAllocator> allocator = MakeAllocator(1, 32);
        allocator->Commit();
        ASSERT_EQ(allocator->GetBuffer(sample.ReleaseAndGetAddressOf(), nullptr, nullptr, 0), S_OK);
        allocator->Decommit();
    }
    BYTE* p = nullptr;
    ASSERT_EQ(sample->GetPointer(&p), S_OK);
    p[31] = 7;  // still writable: the buffer lives until the sample returns (ASan checks)
    sample.Reset();
}

TEST(MemAllocator, RefusesBadProperties) {
    ComPtr<MemAllocator> allocator = MakeCom<MemAllocator>();
    ALLOCATOR_PROPERTIES request, actual;
    request.cBuffers = 1;
    request.cbBuffer = 10;
    request.cbAlign = 3;
    EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_BADALIGN);
    request.cbAlign = 1;
    request.cbBuffer = 0;
    EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_SIZENOTSET);
    EXPECT_EQ(allocator->Commit(), VFW_E_SIZENOTSET);
}

TEST(MediaSample, TimesFlagsAndLengthBehaveAsOnWindows) {
    ComPtr<MemAllocator> allocator = MakeAllocator(1, 100);
    allocator->Commit();
    ComPtr<IMediaSample> sample;
    ASSERT_EQ(allocator->GetBuffer(sample.ReleaseAndGetAddressOf(), nullptr, nullptr, 0), S_OK);
    REFERENCE_TIME start = 100, stop = 0;
    sample->SetTime(&start, nullptr);
    REFERENCE_TIME s = 0, e = 0;
    EXPECT_EQ(sample->GetTime(&s, &e), VFW_S_NO_STOP_TIME);
    EXPECT_EQ(s, 100);
    EXPECT_EQ(e, 101);
    stop = 200;
    sample->SetTime(&start, &stop);
    EXPECT_EQ(sample->GetTime(&s, &e), S_OK);
    EXPECT_EQ(e, 200);
    sample->SetTime(nullptr, nullptr);
    EXPECT_EQ(sample->GetTime(&s, &e), VFW_E_SAMPLE_TIME_NOT_SET);

    EXPECT_EQ(sample->SetActualDataLength(101), VFW_E_BUFFER_OVERFLOW);
    EXPECT_EQ(sample->SetActualDataLength(100), S_OK);
    EXPECT_EQ(sample->IsSyncPoint(), S_FALSE);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(TRUE);
    EXPECT_EQ(sample->IsSyncPoint(), S_OK);
    EXPECT_EQ(sample->IsDiscontinuity(), S_OK);
    EXPECT_EQ(sample->IsPreroll(), S_FALSE);

    AM_MEDIA_TYPE type;
    EXPECT_EQ(sample->GetMediaType(&type), S_FALSE);
    AM_MEDIA_TYPE changed = MakeVideoType(MEDIASUBTYPE_RGB24, 4, 4);
    sample->SetMediaType(&changed);
    ASSERT_EQ(sample->GetMediaType(&type), S_OK);
    EXPECT_TRUE(type == changed);

    LONGLONG ms = 0, me = 0;
    EXPECT_EQ(sample->GetMediaTime(&ms, &me), VFW_E_MEDIA_TIME_NOT_SET);
    ComPtr<IMediaSample2> two = QueryAs<IMediaSample2>(sample.Get());
    ASSERT_TRUE(two);
    AM_SAMPLE2_PROPERTIES props;
    ASSERT_EQ(two->GetProperties(sizeof props, reinterpret_cast<BYTE*>(&props)), S_OK);
    EXPECT_EQ(props.lActual, 100);
    EXPECT_EQ(props.cbBuffer, 100);
    EXPECT_TRUE(props.dwSampleFlags & AM_SAMPLE_SPLICEPOINT);
    EXPECT_TRUE(props.dwSampleFlags & AM_SAMPLE_TYPECHANGED);
}

TEST(MediaSample, ABufferlessSampleSharesAndHoldsItsSource) {
    ComPtr<MemAllocator> pool = MakeAllocator(1, 64);
    pool->Commit();
    ComPtr<MemAllocator> views = MemAllocator::MakeBufferless();
    ALLOCATOR_PROPERTIES request, actual;
    request.cBuffers = 1;
    ASSERT_EQ(views->SetProperties(&request, &actual), S_OK);
    views->Commit();

    ComPtr<IMediaSample> source, view;
    ASSERT_EQ(pool->GetBuffer(source.ReleaseAndGetAddressOf(), nullptr, nullptr, 0), S_OK);
    source->SetActualDataLength(48);
    ASSERT_EQ(views->GetBuffer(view.ReleaseAndGetAddressOf(), nullptr, nullptr, 0), S_OK);
    auto* shared = static_cast<MediaSample*>(static_cast<IMediaSample2*>(view.Get()));
    ASSERT_EQ(shared->ShareBuffer(source.Get()), S_OK);
    BYTE *a = nullptr, *b = nullptr;
    source->GetPointer(&a);
    view->GetPointer(&b);
    EXPECT_EQ(a, b);
    EXPECT_EQ(view->GetActualDataLength(), 48);
    source.Reset();
    EXPECT_EQ(pool->OutstandingCount(), 1);  // the view keeps it
    view.Reset();
    EXPECT_EQ(pool->OutstandingCount(), 0);
    EXPECT_EQ(views->OutstandingCount(), 0);
}
