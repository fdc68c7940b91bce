#include "app/Delivery.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace kuvrion {
namespace {

using Kind = DeliveryTarget::Kind;

TEST(Delivery, TargetsAsTheSettingsWriteThem)
{
    const struct {
        const char* text;
        std::optional<Kind> kind; // nullopt: refused
        const char* host;
        std::uint16_t port;
        const char* where; // folder or queue
    } cases[] = {
        {"", Kind::None, "", 0, ""},
        {"/srv/ausgang", Kind::Folder, "", 0, "/srv/ausgang"},
        {"C:\\Ausgang", Kind::Folder, "", 0, "C:\\Ausgang"},
        {"file:///srv/ausgang", Kind::Folder, "", 0, "/srv/ausgang"},
        {"file:relativ", Kind::Folder, "", 0, "relativ"},
        {"socket://drucker", Kind::Socket, "drucker", 9100, ""},
        {"socket://10.0.0.7:9101", Kind::Socket, "10.0.0.7", 9101, ""},
        {"socket://[fd00::7]:9102", Kind::Socket, "fd00::7", 9102, ""},
        {"ipp://cups:631/printers/rechnungen", Kind::Ipp, "cups", 631, "rechnungen"},
        {"ipp://cups/printers/lager", Kind::Ipp, "cups", 631, "lager"},
        {"lpd://10.0.0.8/raw", Kind::Lpd, "10.0.0.8", 515, "raw"},
        {"socket://drucker:0", std::nullopt, "", 0, ""},
        {"socket://drucker:99999", std::nullopt, "", 0, ""},
        {"socket://:9100", std::nullopt, "", 0, ""},
        {"socket://drucker/pfad", std::nullopt, "", 0, ""},
        {"ipp://cups/classes", std::nullopt, "", 0, ""},
        {"lpd://host", std::nullopt, "", 0, ""},
        {"http://drucker", std::nullopt, "", 0, ""},
        {"file:", std::nullopt, "", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Result<DeliveryTarget> t = ParseDeliveryTarget(c.text);
        ASSERT_EQ(t.has_value(), c.kind.has_value());
        if (!t) {
            EXPECT_EQ(t.error().what, FailureKind::DeliveryTarget);
            EXPECT_EQ(t.error().detail, c.text);
            continue;
        }
        EXPECT_EQ(t->kind, *c.kind);
        EXPECT_EQ(t->host, c.host);
        EXPECT_EQ(t->port, c.port);
        EXPECT_EQ(t->kind == Kind::Folder ? t->folder : t->queue, c.where);
    }
}

TEST(Delivery, IntoAFolderWholeOrNotAtAll)
{
    test::TempDir dir;
    std::filesystem::create_directory(dir / "ausgang");
    const auto marked = dir.Write("brief-OME.pcl", "marked").string();
    const Result<DeliveryTarget> folder = ParseDeliveryTarget("file:" + (dir / "ausgang").string());
    ASSERT_TRUE(folder);
    EXPECT_TRUE(Deliver(marked, *folder));
    EXPECT_EQ(test::ReadFile(dir / "ausgang/brief-OME.pcl"), "marked");
    const Result<DeliveryTarget> missing = ParseDeliveryTarget((dir / "fehlt").string());
    ASSERT_TRUE(missing);
    const Result<void> refused = Deliver(marked, *missing);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().what, FailureKind::TargetFolderMissing);
}

} // namespace
} // namespace kuvrion
