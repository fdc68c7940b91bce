#include "base/Sha256.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace kuvrion {
namespace {

// The published test vectors, with lengths around the padding's block boundary (55, 56, 64).
TEST(Sha256, PublishedVectorsAndAFile)
{
    const std::pair<std::string, const char*> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
    };
    for (const auto& [text, digest] : cases) {
        Sha256 hash;
        hash.Update(text.substr(0, text.size() / 3));
        hash.Update(text.substr(text.size() / 3));
        EXPECT_EQ(hash.HexDigest(), digest) << text.size();
    }
    test::TempDir dir;
    EXPECT_EQ(Sha256OfFile(dir.Write("abc", "abc")).value(), cases[1].second);
    const auto missing = Sha256OfFile(dir / "missing");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().err, ENOENT);
}

} // namespace
} // namespace kuvrion
