// CMediaType and the task-memory media type helpers.
#include <streams.h>

#include <gtest/gtest.h>

#include <cstring>

#include "VideoTypes.h"

namespace vyx::dshow::test {
namespace {

// An IUnknown that only counts, to see pUnk references taken and dropped.
class CountingUnknown : public IUnknown {
public:
    LONG refs = 1;
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
};

TEST(MediaType, CopiesOwnFormatAndCompareByTypeAndFormat)
{
    CMediaType rgb24;
    MakeVideoType(MEDIASUBTYPE_RGB24, &rgb24);
    ASSERT_TRUE(rgb24.IsValid());
    EXPECT_EQ(rgb24.GetSampleSize(), static_cast<ULONG>(kWidth * kHeight * 3));

    CMediaType copy(rgb24);
    EXPECT_NE(copy.Format(), rgb24.Format()) << "a copy owns its own format block";
    EXPECT_TRUE(copy == rgb24);

    CMediaType assigned;
    assigned = rgb24;
    assigned = assigned;  // self-assignment keeps the format
    EXPECT_TRUE(assigned == rgb24);

    reinterpret_cast<VIDEOINFOHEADER*>(copy.Format())->bmiHeader.biWidth = 32;
    EXPECT_TRUE(copy != rgb24) << "format bytes take part in equality";

    CMediaType rgb32;
    MakeVideoType(MEDIASUBTYPE_RGB32, &rgb32);
    EXPECT_FALSE(rgb32 == rgb24);

    CMediaType empty;
    EXPECT_FALSE(empty.IsValid());
    EXPECT_EQ(empty.Format(), nullptr);
    EXPECT_EQ(empty.FormatLength(), 0u);
    EXPECT_TRUE(empty.IsFixedSize());

    empty.SetSampleSize(0);
    EXPECT_FALSE(empty.IsFixedSize()) << "a sample size of 0 means variable";
}

TEST(MediaType, FormatBufferAllocationKeepsOrClearsBytes)
{
    CMediaType type;
    BYTE bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(type.SetFormat(bytes, sizeof(bytes)));
    EXPECT_EQ(type.FormatLength(), 8u);
    EXPECT_EQ(std::memcmp(type.Format(), bytes, 8), 0);

    ASSERT_TRUE(type.SetFormat(type.Format(), type.FormatLength())) << "setting its own block keeps it";
    EXPECT_EQ(std::memcmp(type.Format(), bytes, 8), 0);

    BYTE* grown = type.ReallocFormatBuffer(12);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(type.FormatLength(), 12u);
    EXPECT_EQ(std::memcmp(grown, bytes, 8), 0) << "realloc keeps the leading bytes";
    EXPECT_EQ(grown[8] | grown[9] | grown[10] | grown[11], 0);

    BYTE* shrunk = type.ReallocFormatBuffer(4);
    ASSERT_NE(shrunk, nullptr);
    EXPECT_EQ(std::memcmp(shrunk, bytes, 4), 0);

    BYTE* fresh = type.AllocFormatBuffer(6);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh[0] | fresh[1] | fresh[2] | fresh[3] | fresh[4] | fresh[5], 0) << "alloc gives a cleared block";

    EXPECT_FALSE(type.SetFormat(nullptr, 4)) << "a length without bytes is refused";
    EXPECT_EQ(type.FormatLength(), 6u);
    EXPECT_TRUE(type.SetFormat(nullptr, 0));
    EXPECT_EQ(type.Format(), nullptr);
    EXPECT_EQ(type.FormatLength(), 0u);
}

TEST(MediaType, PartialTypesMatchOnTheFieldsTheyName)
{
    CMediaType rgb24;
    MakeVideoType(MEDIASUBTYPE_RGB24, &rgb24);

    CMediaType anything;
    EXPECT_TRUE(anything.IsPartiallySpecified());
    EXPECT_TRUE(rgb24.MatchesPartial(&anything));

    CMediaType videoOnly(&MEDIATYPE_Video);
    EXPECT_TRUE(rgb24.MatchesPartial(&videoOnly));
    CMediaType audioOnly(&MEDIATYPE_Audio);
    EXPECT_FALSE(rgb24.MatchesPartial(&audioOnly));

    CMediaType rgb32Only(&MEDIATYPE_Video);
    rgb32Only.SetSubtype(&MEDIASUBTYPE_RGB32);
    EXPECT_FALSE(rgb24.MatchesPartial(&rgb32Only));

    CMediaType otherSize(rgb24);
    reinterpret_cast<VIDEOINFOHEADER*>(otherSize.Format())->bmiHeader.biHeight = 10;
    EXPECT_FALSE(otherSize.IsPartiallySpecified());
    EXPECT_FALSE(rgb24.MatchesPartial(&otherSize)) << "a named format must match byte for byte";
    EXPECT_TRUE(rgb24.MatchesPartial(&rgb24));
}

TEST(MediaType, TaskMemoryHelpersCopyFormatAndCountTheUnknown)
{
    CountingUnknown unknown;
    CMediaType source;
    MakeVideoType(MEDIASUBTYPE_RGB24, &source);
    source.pUnk = &unknown;

    AM_MEDIA_TYPE* created = CreateMediaType(&source);
    ASSERT_NE(created, nullptr);
    EXPECT_NE(created->pbFormat, source.pbFormat);
    EXPECT_EQ(std::memcmp(created->pbFormat, source.pbFormat, source.cbFormat), 0);
    EXPECT_EQ(unknown.refs, 2);
    DeleteMediaType(created);
    EXPECT_EQ(unknown.refs, 1);
    DeleteMediaType(nullptr);

    AM_MEDIA_TYPE target;
    ASSERT_EQ(CopyMediaType(&target, &source), S_OK);
    EXPECT_EQ(unknown.refs, 2);
    FreeMediaType(target);
    EXPECT_EQ(target.pbFormat, nullptr);
    EXPECT_EQ(target.cbFormat, 0u);
    EXPECT_EQ(target.pUnk, nullptr);
    EXPECT_EQ(unknown.refs, 1);

    EXPECT_EQ(CopyMediaType(nullptr, &source), E_POINTER);
    EXPECT_EQ(CopyMediaType(&target, nullptr), E_POINTER);
    EXPECT_EQ(CreateMediaType(nullptr), nullptr);

    // A length with no block is no format, not a read through a null pointer.
    AM_MEDIA_TYPE broken = source;
    broken.pUnk = nullptr;
    broken.pbFormat = nullptr;
    ASSERT_EQ(CopyMediaType(&target, &broken), S_OK);
    EXPECT_EQ(target.cbFormat, 0u);
    EXPECT_EQ(target.pbFormat, nullptr);

    source.pUnk = nullptr;  // the test holds that reference, not the type
}

}  // namespace
}  // namespace vyx::dshow::test
