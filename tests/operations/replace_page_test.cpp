// ersetzen! refuses where the page opened may not be the page it would replace, says why,
// and leaves the list and the page on screen as they are.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/form_test.h"
#include "support/pages.h"
#include "support/test_support.h"
#include "window/holmtex.h"

namespace holmtex {
namespace {

using test::readFile;
using test::writeFile;

class ReplacePage : public test::FormTest {
protected:
    std::filesystem::path aktuell() const { return dir / "holmtex-aktuell.dat"; }
};

TEST_F(ReplacePage, RefusesWhereTheLineMayNotHoldThePageOpenedAndKeepsThePageOnScreen) {
    const struct {
        const char* name;
        std::string list;
        std::function<void(Holmtex&, const std::filesystem::path&)> before;
        const char* said;
    } cases[] = {
        {"no line opened since the list was shown", "",
         [](Holmtex& form, const std::filesystem::path&) { form.Option1.setValue(true); },
         "Nichts ersetzt: Es wurde keine Listenzeile geöffnet."},
        {"the list changed since the line was opened", test::namedPages("p", 3),
         [](Holmtex&, const std::filesystem::path& file) {
             writeFile(file, readFile(file) + test::namedPages({"fremd"}));
         },
         "Die Seite wurde nicht ersetzt: holmtex-aktuell.dat wurde seit dem Öffnen geändert."},
        {"the list's end is damaged",
         test::namedPages("p", 2) + "\"->2\",\"06.12.2026\",\"14:00",
         {},
         "Die Seite wurde nicht ersetzt: holmtex-aktuell.dat ist am Ende beschädigt; "
         "reparatur! hilft."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(aktuell(), c.list);
        form.Option2.setValue(true);
        form.Option1.setValue(true);
        form.List1.clickLine(0);
        if (c.before) c.before(form, aktuell());
        const std::string listed = readFile(aktuell());
        test::typeInto({{form.Text1, "korrigiert"}, {form.v1t, "Vater neu"}});
        form.Combo1.setText("ersetzen!");
        EXPECT_EQ(form.outcome().operation, Operation::Replace);
        EXPECT_EQ(form.Text5.text(), c.said);
        EXPECT_EQ(readFile(aktuell()), listed);
        EXPECT_EQ(form.Text1.text(), "korrigiert");
        EXPECT_EQ(form.v1t.text(), "Vater neu");
    }
}

}  // namespace
}  // namespace holmtex
