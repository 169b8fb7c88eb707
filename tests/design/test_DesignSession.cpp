// The design session without a browser: edits go through the library's own
// rules (SetBounds, validateInsert, the cycle check of script dependencies),
// a refused edit leaves the text byte for byte as it was, undo and redo bring
// back exact texts, and saving never loses a file.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <optional>

#include <tavkit/package/Package.h>
#include <tavkit/platform/controls/Controls.h>
#include <tavkit/platform/formfile/FormFile.h>
#include "DesignTestSupport.h"
#include "design/DesignSession.h"

namespace tavkit {
namespace {

using design::TDesignSession;
using design::TEditResult;
using designtest::WriteFile;
using testsupport::ReadText;

class DesignSession : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterPackage();
    folder = designtest::ScratchFolder("design-session");
    file = (folder / "form.json").string();
    WriteFile(file, designtest::kTestForm);
  }

  TControl& Control(TDesignSession& session, const std::string& name) {
    return dynamic_cast<TControl&>(design::FindDesignComponent(session.Form(), name));
  }

  // The text must be the one the form's components save to.
  void ExpectTextIsForm(TDesignSession& session) {
    EXPECT_EQ(session.Text(), SaveForm(session.Form()));
  }

  designtest::fs::path folder;
  std::string file;
};

TEST_F(DesignSession, OpensTheFileInTheDesigningStateUnmodified) {
  TDesignSession session(file);
  ExpectTextIsForm(session);
  EXPECT_FALSE(session.Modified());
  EXPECT_FALSE(session.CanUndo());
  EXPECT_TRUE(Control(session, "Text1").IsDesigning());
  EXPECT_EQ(session.Folder(), folder.string());
}

TEST_F(DesignSession, MovesAndSizesThroughTheControlsOwnBounds) {
  TDesignSession session(file);
  TEditResult moved = session.SetBounds("Text1", -5, 0, 90, 30);
  EXPECT_TRUE(moved.Changed);
  EXPECT_EQ(Control(session, "Text1").BoundsRect(), Bounds(1, 1, 90, 30));
  // The page alone may sit at coordinate 0.
  session.SetBounds("Page1", 0, 0, 500, 300);
  EXPECT_EQ(Control(session, "Page1").BoundsRect(), Bounds(0, 0, 500, 300));
  ExpectTextIsForm(session);
  EXPECT_TRUE(session.Modified());
  // Bounds the control already has change nothing and are not an edit.
  const int version = session.Version();
  EXPECT_FALSE(session.SetBounds("Text1", 0, 1, 90, 30).Changed);
  EXPECT_EQ(session.Version(), version);
}

TEST_F(DesignSession, RefusedInsertionsLeaveTheTextAsItWas) {
  TDesignSession session(file);
  const std::string before = session.Text();
  const int version = session.Version();

  TEditResult onImage = session.Insert("TWvText", "Image1", 5, 5);
  EXPECT_EQ(onImage.Warning, "Only imagemaps can be put on images");
  TEditResult intoText = session.Insert("TWvText", "Text1", 5, 5);
  EXPECT_EQ(intoText.Warning, "Cannot place component in a non-container");
  TEditResult mapOnPage = session.Insert("TWvImageMap", "Page1", 5, 5);
  EXPECT_EQ(mapOnPage.Warning, "Imagemaps can only be put on images");
  TEditResult moveOnImage = session.SetParent("Text1", "Image1", 5, 5);
  EXPECT_EQ(moveOnImage.Warning, "Only imagemaps can be put on images");
  TEditResult intoItsChild = session.SetParent("Panel1", "Panel1", 5, 5);
  EXPECT_EQ(intoItsChild.Warning, "Control cannot be its own parent");

  for (const TEditResult& r : {onImage, intoText, mapOnPage, moveOnImage, intoItsChild}) {
    EXPECT_FALSE(r.Changed);
    EXPECT_EQ(r.Name, "");
  }
  EXPECT_EQ(session.Text(), before);
  EXPECT_EQ(session.Version(), version);
  EXPECT_FALSE(session.CanUndo());
  EXPECT_EQ(session.Form().FindComponent("WvText1"), nullptr);
}

TEST_F(DesignSession, InsertsAndReparentsWhereTheLibraryAllows) {
  TDesignSession session(file);
  TEditResult text = session.Insert("TWvText", "Panel1", 20, 40);
  EXPECT_TRUE(text.Changed);
  EXPECT_EQ(text.Name, "WvText1");
  EXPECT_EQ(Control(session, "WvText1").GetParent(), &Control(session, "Panel1"));
  EXPECT_EQ(Control(session, "WvText1").BoundsRect(), Bounds(20, 40, 70, 20));
  EXPECT_EQ(session.Insert("TWvText", "Panel1", 0, 0).Name, "WvText2");

  TEditResult map = session.Insert("TWvImageMap", "Image1", 10, 10);
  EXPECT_TRUE(map.Changed);
  EXPECT_EQ(Control(session, map.Name).GetParent(), &Control(session, "Image1"));

  TEditResult script = session.Insert("twvjavascript", "Panel1", 0, 0);
  EXPECT_EQ(script.Name, "WvJavascript1");
  EXPECT_NE(session.Form().FindComponent("WvJavascript1"), nullptr);

  EXPECT_TRUE(session.SetParent("Inner", "Page1", 0, 250).Changed);
  EXPECT_EQ(Control(session, "Inner").GetParent(), &Control(session, "Page1"));
  EXPECT_EQ(Control(session, "Inner").BoundsRect(), Bounds(1, 250, 100, 20));
  ExpectTextIsForm(session);

  EXPECT_EQ(session.Insert("TNoSuchThing", "Page1", 0, 0).Error, "Class TNoSuchThing not found");
  EXPECT_EQ(session.Insert("TWvText", "Nowhere", 0, 0).Error,
            "The form has no component named Nowhere");
}

TEST_F(DesignSession, RefusesADependencyThatClosesACycle) {
  TDesignSession session(file);
  const std::string before = session.Text();
  TEditResult cycle = session.SetProperty("First", design::TJson::array({"DependList"}),
                                          design::TJson::parse(R"([{"script": "Second"}])"));
  EXPECT_EQ(cycle.Warning, "Circular dependency detected. Cannot select script.");
  EXPECT_FALSE(cycle.Changed);
  EXPECT_EQ(session.Text(), before);
  TEditResult self = session.SetProperty("Second", design::TJson::parse(R"(["DependList", 0,
      "script"])"),
                                         "Second");
  EXPECT_EQ(self.Warning, "Circular dependency detected. Cannot select script.");
  EXPECT_EQ(session.Text(), before);
}

TEST_F(DesignSession, PropertyEditsGoThroughTheFormFileReader) {
  TDesignSession session(file);
  const std::string before = session.Text();
  EXPECT_TRUE(session.SetProperty("Text1", design::TJson::parse(R"(["Font", "Color"])"), "#804020")
                  .Changed);
  EXPECT_NE(session.Text().find("\"Color\": \"#804020\""), std::string::npos);
  ExpectTextIsForm(session);

  const std::string edited = session.Text();
  TEditResult bad =
      session.SetProperty("Text1", design::TJson::parse(R"(["Font", "Color"])"), "#80");
  EXPECT_EQ(bad.Error,
            "Form file: component Text1 (TWvText), property Font.Color: unknown colour \"#80\" "
            "(expected a colour name or \"#RRGGBB\")");
  EXPECT_EQ(session.Text(), edited);
  EXPECT_EQ(session.SetProperty("Text1", "NoSuchProperty", 1).Error,
            "Form file: component Text1 (TWvText): unknown property NoSuchProperty of class "
            "TWvText");
  EXPECT_EQ(session.SetProperty("Text1", design::TJson::array(), 1).Error, "No property named");
  EXPECT_EQ(session.Text(), edited);
  ASSERT_TRUE(session.Undo());
  EXPECT_EQ(session.Text(), before);
}

TEST_F(DesignSession, UndoAndRedoRestoreExactTexts) {
  TDesignSession session(file);
  const std::string t0 = session.Text();
  session.SetBounds("Text1", 30, 210, 150, 20);
  const std::string t1 = session.Text();
  session.Insert("TWvText", "Panel1", 20, 40);
  const std::string t2 = session.Text();
  session.Delete("Panel1");
  const std::string t3 = session.Text();
  EXPECT_EQ(session.Form().FindComponent("Inner"), nullptr);  // went with its panel

  ASSERT_TRUE(session.Undo());
  EXPECT_EQ(session.Text(), t2);
  ExpectTextIsForm(session);
  ASSERT_TRUE(session.Undo());
  EXPECT_EQ(session.Text(), t1);
  ASSERT_TRUE(session.Undo());
  EXPECT_EQ(session.Text(), t0);
  EXPECT_FALSE(session.Undo());
  EXPECT_FALSE(session.Modified());

  ASSERT_TRUE(session.Redo());
  EXPECT_EQ(session.Text(), t1);
  ASSERT_TRUE(session.Redo());
  EXPECT_EQ(session.Text(), t2);
  ASSERT_TRUE(session.Redo());
  EXPECT_EQ(session.Text(), t3);
  EXPECT_FALSE(session.Redo());

  // A new edit after an undo drops what could have been redone.
  session.Undo();
  session.Rename("Text1", "Greeting");
  EXPECT_FALSE(session.CanRedo());
  ASSERT_TRUE(session.Undo());
  EXPECT_EQ(session.Text(), t2);
}

TEST_F(DesignSession, RenamingCarriesTheReferencesAlong) {
  TDesignSession session(file);
  EXPECT_EQ(session.Rename("First", "Base").Name, "Base");
  const std::string text = session.Text();
  EXPECT_NE(text.find("\"script\": \"Base\""), std::string::npos);
  EXPECT_EQ(session.Rename("Base", "Second").Error, "A component named Second already exists");
  EXPECT_EQ(session.Rename("Base", "TestForm").Error, "The name TestForm is the form's own");
  EXPECT_EQ(session.Rename("Base", "not a name").Error,
            "'not a name' is not a valid component name");
  EXPECT_EQ(session.Text(), text);
}

TEST_F(DesignSession, SavesThroughARenameAndKeepsThePreviousFile) {
  const std::string original = ReadText(file);
  TDesignSession session(file);
  session.SetBounds("Text1", 30, 210, 150, 20);
  session.Save();
  EXPECT_EQ(ReadText(file), session.Text());
  EXPECT_EQ(ReadText(file + ".bak"), original);
  EXPECT_FALSE(designtest::fs::exists(file + ".tmp"));
  EXPECT_FALSE(session.Modified());

  const std::string first = session.Text();
  session.SetBounds("Text1", 40, 210, 150, 20);
  session.Save();
  EXPECT_EQ(ReadText(file), session.Text());
  EXPECT_EQ(ReadText(file + ".bak"), first);

  // A saved form loads into the same design.
  TComponent form(nullptr);
  LoadForm(file, form);
  EXPECT_EQ(SaveForm(form), session.Text());
}

TEST_F(DesignSession, RefusesToOverwriteAFileChangedOnDisk) {
  TDesignSession session(file);
  session.SetBounds("Text1", 30, 210, 150, 20);
  const std::string theirs = std::string(designtest::kTestForm) + " ";
  WriteFile(file, theirs);
  EXPECT_THROW(session.Save(), design::EDesignConflict);
  EXPECT_EQ(ReadText(file), theirs);
  EXPECT_FALSE(designtest::fs::exists(file + ".bak"));
  EXPECT_TRUE(session.Modified());

  designtest::fs::remove(file);
  EXPECT_THROW(session.Save(), design::EDesignConflict);
  EXPECT_FALSE(designtest::fs::exists(file));
}

TEST_F(DesignSession, ANewFileStartsWithAPageAndIsMadeOnSave) {
  const std::string fresh = (folder / "new.json").string();
  TDesignSession session(fresh);
  EXPECT_TRUE(session.Modified());
  EXPECT_EQ(Control(session, "Page1").BoundsRect(), Bounds(0, 0, 640, 480));
  session.Save();
  EXPECT_EQ(ReadText(fresh), session.Text());
  EXPECT_FALSE(designtest::fs::exists(fresh + ".bak"));
  // Someone else making the file first is a change on disk too.
  const std::string other = (folder / "other.json").string();
  TDesignSession late(other);
  WriteFile(other, designtest::kTestForm);
  EXPECT_THROW(late.Save(), design::EDesignConflict);
}

TEST_F(DesignSession, KeepsUnsavedWorkBesideTheForm) {
  TDesignSession session(file);
  session.SetBounds("Text1", 30, 210, 150, 20);
  EXPECT_EQ(session.KeepUnsaved(), file + ".unsaved");
  EXPECT_EQ(ReadText(file + ".unsaved"), session.Text());
  EXPECT_EQ(ReadText(file), designtest::kTestForm);
}

// Saving writes only where it means to: a link planted at a temporary name
// is never written through, a form file that is a link is updated where it
// leads, and a read-only form file is left alone.
TEST_F(DesignSession, SavesOnlyIntoTheFormFile) {
  namespace fs = designtest::fs;
  const fs::path victim = folder / "victim.txt";
  WriteFile(victim, "someone else's");
  for (const char* planted : {"form.json.tmp", "form.json.bak.tmp"})
    fs::create_symlink(victim, folder / planted);
  {
    TDesignSession session(file);
    session.SetBounds("Text1", 30, 210, 150, 20);
    session.Save();
    EXPECT_EQ(ReadText(file), session.Text());
  }
  EXPECT_EQ(ReadText(victim), "someone else's");
  EXPECT_TRUE(fs::is_symlink(folder / "form.json.tmp"));

  // Through a link: the target changes, the link stays, the copy of the
  // previous file is kept beside the target.
  fs::create_directories(folder / "real");
  const fs::path target = folder / "real" / "shared.json";
  WriteFile(target, designtest::kTestForm);
  const fs::path link = folder / "link.json";
  fs::create_symlink("real/shared.json", link);
  {
    TDesignSession session(link.string());
    session.SetBounds("Text1", 40, 210, 150, 20);
    session.Save();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadText(target), session.Text());
    EXPECT_EQ(ReadText(target.string() + ".bak"), designtest::kTestForm);
  }

  // Read-only: refused, whoever runs the designer.
  const fs::path locked = folder / "locked.json";
  WriteFile(locked, designtest::kTestForm);
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  TDesignSession session(locked.string());
  session.SetBounds("Text1", 50, 210, 150, 20);
  try {
    session.Save();
    ADD_FAILURE() << "a read-only form file was replaced";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), locked.string() + " is read-only; the design was not saved");
  }
  EXPECT_EQ(ReadText(locked), designtest::kTestForm);
  EXPECT_TRUE(session.Modified());
}

// A form whose folder cannot take files is refused when it is opened, and
// work not saved goes where it can be written when the folder is gone.
TEST_F(DesignSession, SaysAtOnceWhenTheFormsFolderCannotTakeIt) {
  namespace fs = designtest::fs;
  WriteFile(folder / "plain", "a file");
  const struct {
    fs::path Form;
    std::string Message;
  } cases[] = {
      {folder / "missing" / "form.json",
       "the folder " + (folder / "missing").string() + " does not exist"},
      {folder / "plain" / "form.json", (folder / "plain").string() + " is not a folder"},
  };
  for (const auto& c : cases) {
    try {
      TDesignSession session(c.Form.string());
      ADD_FAILURE() << c.Form << " was opened";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.Message(), "Form file " + c.Form.string() + " cannot be designed: " + c.Message);
    }
  }

  fs::create_directories(folder / "going");
  const std::string going = (folder / "going" / "form.json").string();
  WriteFile(going, designtest::kTestForm);
  TDesignSession session(going);
  EXPECT_EQ(session.KeepUnsaved(), "");  // nothing to keep
  session.SetBounds("Text1", 30, 210, 150, 20);
  fs::remove_all(folder / "going");
  const std::string kept = session.KeepUnsaved();
  EXPECT_EQ(fs::path(kept).parent_path(), fs::temp_directory_path());
  EXPECT_EQ(fs::path(kept).filename().string().rfind("form.json.unsaved-", 0), 0u);
  EXPECT_EQ(ReadText(kept), session.Text());
  fs::remove(kept);
}

// A query that never ends holds neither the opening of its form nor an
// edit of its SQL or Active nor a paste: each is refused after the time
// limit, and the design stays as it was.
TEST_F(DesignSession, GivesUpOnDataThatNeverEndsLoading) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((folder / "shop.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t (a TEXT); INSERT INTO t VALUES ('x');", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  const std::string endless =
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT x FROM c WHERE x = 0";
  auto form = [&](const std::string& sql, bool active) {
    return R"({"form": "F", "components": [{"class": "TSQLiteQuery", "name": "Q", "properties":
        {"DatabaseFile": "shop.db", "SQL": [")" +
           sql + R"("], "Active": )" + (active ? "true" : "false") +
           R"(}}, {"class": "TWvPage", "name": "Page1",
        "properties": {"Width": 300, "Height": 200}}]})";
  };
  const auto started = std::chrono::steady_clock::now();
  WriteFile(file, form(endless, true));
  try {
    TDesignSession session(file, design::TDataTrial{TAVKIT_PROGRAM, 1});
    ADD_FAILURE() << "a form whose query never ends was opened";
  } catch (const design::EDesignTimeout& e) {
    EXPECT_EQ(e.Message(), "Form file " + file +
                               ": the form's data took longer than 1 seconds to load (a query "
                               "that does not end?)");
  }

  const struct {
    const char* Path;
    design::TJson Value;
    bool Active;
  } edits[] = {
      {"SQL", design::TJson::array({endless}), true},
      {"Active", true, false},
  };
  for (const auto& edit : edits) {
    WriteFile(file, form(edit.Active ? "SELECT a FROM t" : endless, edit.Active));
    TDesignSession session(file, design::TDataTrial{TAVKIT_PROGRAM, 1});
    const std::string before = session.Text();
    const TEditResult result = session.SetProperty("Q", edit.Path, edit.Value);
    EXPECT_FALSE(result.Changed) << edit.Path;
    EXPECT_EQ(result.Error,
              "the form's data took longer than 1 seconds to load (a query that does not end?)");
    EXPECT_EQ(session.Text(), before);
    EXPECT_TRUE(session.SetBounds("Page1", 0, 0, 320, 200).Changed);
  }
  // Nor does a paste that brings such a query into a form that had none.
  WriteFile(file, designtest::kTestForm);
  TDesignSession session(file, design::TDataTrial{TAVKIT_PROGRAM, 1});
  const std::string before = session.Text();
  EXPECT_EQ(session.Paste(form(endless, true), "").Error,
            "the form's data took longer than 1 seconds to load (a query that does not end?)");
  EXPECT_EQ(session.Text(), before);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

// A pipe would hold the designer until someone writes to it; a folder is
// no form. Neither is read, when opening or when saving.
TEST_F(DesignSession, ReadsOnlyARegularFormFile) {
  const std::string pipe = (folder / "pipe.json").string();
  ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
  designtest::fs::create_directories(folder / "folder.json");
  for (const std::string& name : {pipe, (folder / "folder.json").string()}) {
    try {
      TDesignSession session(name);
      ADD_FAILURE() << name << " was opened";
    } catch (const EFormFileError& e) {
      EXPECT_EQ(e.Message(), "Form file " + name + ": not a regular file");
    }
  }
  TDesignSession session(file);
  session.SetBounds("Text1", 30, 210, 150, 20);
  designtest::fs::remove(file);
  ASSERT_EQ(mkfifo(file.c_str(), 0644), 0);
  EXPECT_THROW(session.Save(), EFormFileError);
  EXPECT_TRUE(session.Modified());
}

TEST_F(DesignSession, ABrokenFileIsNotOpened) {
  WriteFile(file, R"({"form": "F", "components": [{"class": "TNoSuchClass"}]})");
  try {
    TDesignSession session(file);
    ADD_FAILURE() << "a broken file was opened";
  } catch (const EFormFileError& e) {
    EXPECT_EQ(e.Message(), "Form file " + file + ": component #1: unknown class TNoSuchClass");
  }
}

using design::TBatchEdit;
using design::TJson;

TBatchEdit Move(const std::string& name, int left, int top, int width, int height) {
  return {"bounds", name, {}, {}, "", left, top, width, height};
}
TBatchEdit Set(const std::string& name, const TJson& path, const TJson& value) {
  return {"property", name, path, value};
}
TBatchEdit Reparent(const std::string& name, const std::string& parent, int left, int top) {
  return {"parent", name, {}, {}, parent, left, top};
}
TBatchEdit Remove(const std::string& name) {
  return {"delete", name};
}

// The entry of a component in a form file text, wherever it is nested.
TJson Entry(const std::string& text, const std::string& name) {
  std::function<TJson(const TJson&)> find = [&](const TJson& entries) -> TJson {
    for (const TJson& entry : entries) {
      if (entry["name"] == name) return entry;
      if (entry.contains("children"))
        if (TJson found = find(entry["children"]); !found.is_null()) return found;
    }
    return TJson();
  };
  return find(TJson::parse(text)["components"]);
}

// A batch is one change: done whole and undone in one step, or, when any
// edit of it is refused or fails, not done at all.
TEST_F(DesignSession, ABatchIsDoneWholeOrNotAtAll) {
  TDesignSession session(file);
  const std::string before = session.Text();
  const TEditResult done = session.Batch({
      Move("Text1", 20, 210, 150, 20),
      Set("Text1", TJson::array({"Font", "Color"}), "#804020"),
      Set("Inner", TJson::array({"Font", "Color"}), "#804020"),
      Move("Image1", 230, 20, 100, 80),
      Reparent("Inner", "Page1", 40, 250),
      Remove("Panel1"),
  });
  ASSERT_TRUE(done.Changed) << done.Error << done.Warning;
  EXPECT_EQ(Control(session, "Text1").BoundsRect(), Bounds(20, 210, 150, 20));
  EXPECT_EQ(Control(session, "Image1").BoundsRect(), Bounds(230, 20, 100, 80));
  EXPECT_EQ(Control(session, "Inner").BoundsRect(), Bounds(40, 250, 100, 20));
  EXPECT_EQ(Control(session, "Inner").GetParent()->GetName(), "Page1");
  EXPECT_EQ(Entry(session.Text(), "Text1")["properties"]["Font"]["Color"], "#804020");
  EXPECT_EQ(session.Form().FindComponent("Panel1"), nullptr);
  ExpectTextIsForm(session);
  ASSERT_TRUE(session.Undo());
  EXPECT_EQ(session.Text(), before);
  EXPECT_FALSE(session.CanUndo());

  const TBatchEdit move = Move("Text1", 30, 220, 150, 20);
  const struct {
    std::vector<TBatchEdit> Edits;
    const char* Warning;
    const char* Error;
  } refused[] = {
      {{move, Reparent("Text1", "Image1", 0, 0)}, "Only imagemaps can be put on images", ""},
      {{move, Set("Text1", TJson::array({"Font", "Color"}), "#80"), move},
       "",
       "Form file: component Text1 (TWvText), property Font.Color: unknown colour \"#80\" "
       "(expected a colour name or \"#RRGGBB\")"},
      {{Remove("Panel1"), Move("Inner", 0, 0, 10, 10)},
       "",
       "The form has no component named Inner"},
      {{move, Set("First", "DependList", TJson::parse(R"([{"script": "Second"}])"))},
       "Circular dependency detected. Cannot select script.",
       ""},
  };
  for (const auto& batch : refused) {
    const TEditResult result = session.Batch(batch.Edits);
    EXPECT_FALSE(result.Changed);
    EXPECT_EQ(result.Warning, batch.Warning);
    EXPECT_EQ(result.Error, batch.Error);
    EXPECT_EQ(session.Text(), before);
  }
  EXPECT_TRUE(session.CanRedo());
}

// The copied text is a form file of its own: loaded, its components save
// to the very same text, in the order of the form whatever the order asked.
TEST_F(DesignSession, CopiesComponentsAsAFormFileOfTheirOwn) {
  TDesignSession session(file);
  for (const std::vector<std::string>& names :
       {std::vector<std::string>{"Panel1"}, {"Second", "First"}, {"image1", "Panel1"}}) {
    const std::string text = session.Copy(names);
    TComponent copy(nullptr);
    copy.SetDesigning(true);
    LoadFormFromText(text, copy);
    EXPECT_EQ(SaveForm(copy), text);
    EXPECT_EQ(copy.GetName(), "TestForm");
    EXPECT_EQ(copy.Components(0)->GetName(), names.size() == 1 ? "Panel1" : names[1]);
  }

  const struct {
    std::vector<std::string> Names;
    const char* Message;
  } refused[] = {
      {{"Inner", "Text1"},
       "Inner and Text1 are not on the same parent; only components of one parent are copied "
       "together"},
      {{}, "No component named to copy"},
  };
  for (const auto& copy : refused) {
    try {
      session.Copy(copy.Names);
      ADD_FAILURE() << copy.Message;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), copy.Message);
    }
  }
}

// Pasted components take names free in the form, keep their children and
// their references among themselves; a reference outside the paste stays
// where the form has its target. Each paste is one step; a paste the
// library refuses changes nothing.
TEST_F(DesignSession, PastesUnderFreshNamesWithTheirReferences) {
  TDesignSession session(file);
  const std::string panel = session.Copy({"Panel1"});
  const std::string scripts = session.Copy({"Second", "First"});
  const std::string text = session.Copy({"Text1"});
  const std::string map =
      R"({"form": "Other", "components": [{"class": "TWvImageMap", "name": "Map1"}]})";
  const struct {
    std::string Text;
    const char* Parent;
    std::optional<TPoint> At;
    std::vector<std::string> Names;
    TRect Bounds;  // of the first name
    const char* Warning;
    const char* Error;
  } pastes[] = {
      {panel, "Page1", std::nullopt, {"WvPanel1"}, Bounds(18, 18, 200, 150), "", ""},
      {scripts, "", std::nullopt, {"WvJavascript1", "WvJavascript2"}, {}, "", ""},
      {text, "Page1", TPoint{300, 250}, {"WvText2"}, Bounds(300, 250, 150, 20), "", ""},
      {map, "Page1", std::nullopt, {}, {}, "Imagemaps can only be put on images", ""},
      {map, "Image1", std::nullopt, {"Map1"}, Bounds(8, 8, 50, 25), "", ""},
      {map, "Image1", TPoint{4, 6}, {"WvImageMap1"}, Bounds(4, 6, 50, 25), "", ""},
      {"[1]",
       "Page1",
       std::nullopt,
       {},
       {},
       "",
       "Form file: the file holds an array, not an object"},
      {"{\"form\": \"F\", \"components\": [{\"class\": \"TNoSuchClass\"}]}",
       "",
       std::nullopt,
       {},
       {},
       "",
       "Form file: component #1: unknown class TNoSuchClass"},
      {panel, "Nowhere", std::nullopt, {}, {}, "", "The form has no component named Nowhere"},
  };
  for (const auto& paste : pastes) {
    const std::string before = session.Text();
    const TEditResult result = session.Paste(paste.Text, paste.Parent, paste.At);
    EXPECT_EQ(result.Names, paste.Names) << paste.Text;
    EXPECT_EQ(result.Warning, paste.Warning);
    EXPECT_EQ(result.Error, paste.Error);
    EXPECT_EQ(result.Changed, !paste.Names.empty());
    if (paste.Names.empty()) {
      EXPECT_EQ(session.Text(), before);
    } else if (paste.Bounds != TRect{}) {
      EXPECT_EQ(Control(session, paste.Names[0]).BoundsRect(), paste.Bounds) << paste.Names[0];
    }
    ExpectTextIsForm(session);
  }
  EXPECT_EQ(Control(session, "WvText1").GetParent()->GetName(), "WvPanel1");
  EXPECT_EQ(Control(session, "WvText1").BoundsRect(), Bounds(5, 5, 100, 20));
  EXPECT_EQ(Entry(session.Text(), "WvJavascript2")["properties"]["DependList"][0]["script"],
            "WvJavascript1");
  EXPECT_EQ(Entry(session.Text(), "WvText2")["properties"]["HyperLink"]["JSOnClick"]["Script"],
            "Second");
  for (int undo = 0; undo < 5; ++undo) ASSERT_TRUE(session.Undo());
  EXPECT_FALSE(session.CanUndo());

  // Into another form, which has no script named Second: the reference goes.
  TDesignSession other((folder / "other.json").string());
  EXPECT_EQ(other.Paste(text, "Page1").Names, std::vector<std::string>{"Text1"});
  EXPECT_EQ(Entry(other.Text(), "Text1")["properties"]["HyperLink"]["JSOnClick"]["Script"], "");
}

// A form whose data cannot be read opens all the same, its data-bound
// elements empty, and says why; its text keeps Active and the field
// references as the file gives them, so saving loses nothing.
TEST_F(DesignSession, OpensAFormWhoseDataCannotBeReadAndSaysWhy) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((folder / "shop.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(
      sqlite3_exec(db, "CREATE TABLE products (name TEXT, price REAL);", nullptr, nullptr, nullptr),
      SQLITE_OK);
  sqlite3_close(db);
  const struct {
    const char* Database;
    const char* Sql;
    std::string Warning;
  } cases[] = {
      {"missing.db", "SELECT name, price FROM products",
       "Products: cannot open database \"" + (folder / "missing.db").string() +
           "\": unable to open database file"},
      {"shop.db", "SELECT name, nosuch FROM products",
       "Products: SQL error on database \"" + (folder / "shop.db").string() +
           "\": no such column: nosuch"},
      {"shop.db", "SELECT name, price FROM products", ""},
  };
  for (const auto& data : cases) {
    WriteFile(file, std::string(R"({"form": "Shop", "components": [
      {"class": "TSQLiteQuery", "name": "Products", "properties": {"DatabaseFile": ")") +
                        data.Database + R"(", "SQL": [")" + data.Sql + R"("], "Active": true}},
      {"class": "TDataSource", "name": "Source", "properties": {"DataSet": "Products"}},
      {"class": "TWvPage", "name": "Page1", "properties": {"Width": 400, "Height": 300},
       "children": [
        {"class": "TWvDBText", "name": "Name", "properties": {"Left": 10, "Top": 10,
         "Width": 100, "Height": 20, "Field": "Products.name"}},
        {"class": "TWvDBTable", "name": "Table", "properties": {"Left": 10, "Top": 40,
         "Width": 300, "Height": 100, "DataSource": "Source",
         "ColumnList": [{"Field": "Products.price"}]}}]}]})");
    TDesignSession session(file);
    EXPECT_EQ(session.Warnings(), data.Warning.empty() ? std::vector<std::string>{}
                                                       : std::vector<std::string>{data.Warning});
    ExpectTextIsForm(session);
    const TJson query = Entry(session.Text(), "Products")["properties"];
    EXPECT_EQ(query["Active"], true) << data.Sql;
    EXPECT_EQ(Entry(session.Text(), "Name")["properties"]["Field"], "Products.name");
    EXPECT_EQ(Entry(session.Text(), "Table")["properties"]["ColumnList"][0]["Field"],
              "Products.price");
    design::ReadDesignData(session.Form());
    EXPECT_TRUE(session.SetBounds("Name", 20, 10, 100, 20).Changed);
    EXPECT_EQ(session.Warnings().size(), data.Warning.empty() ? 0u : 1u);
  }
}

}  // namespace
}  // namespace tavkit
