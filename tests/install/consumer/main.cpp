// Writes a small page through the installed library and names the library,
// so the install test can check both.
#include <cstdio>

#include <tavkit/layout/WvPage.h>
#include <tavkit/layout/WvStandardComponent.h>
#include <tavkit/package/Package.h>
#include <tavkit/package/Version.h>

int main() {
  using namespace tavkit;
  RegisterPackage();
  TComponent form(nullptr);
  auto* page = new TWvPage(&form);
  page->SetBounds(0, 0, 40, 20);
  auto* hello = new TWvStandardComponent(&form);
  hello->SetParent(page);
  hello->SetBounds(5, 5, 30, 10);
  hello->GetHTMLInside()->Add("hello");
  std::printf("%s %d\n%s\n", LibraryName().c_str(), HostFrameworkVersion(),
              page->put(nullptr).c_str());
  return 0;
}
