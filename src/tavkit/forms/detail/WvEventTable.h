// The script events of the form elements. Each class lists its events once,
// in a table of published name, tag attribute and invoker accessor; the one
// table gives the element's script list, the event attributes of its tag and
// its published properties, so none of them can miss an event.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <tavkit/platform/base/Registry.h>
#include <tavkit/scripts/WvJavascriptList.h>
#include <tavkit/scripts/WvScriptInvoker.h>

namespace tavkit {

template <class C>
struct TWvEvent {
  const char* Property;   // the published name, as form files spell it
  const char* Attribute;  // the event attribute of the tag, in the case pages have always had
  TWvScriptInvoker* (C::*Invoker)() const;
};

// Adds the scripts of the events to list, in table order.
template <class C, std::size_t N>
std::unique_ptr<TWvJavascriptlist> WvAddEventScripts(std::unique_ptr<TWvJavascriptlist> list,
                                                     const C& element,
                                                     const TWvEvent<C> (&events)[N]) {
  for (const TWvEvent<C>& event : events) list->AddScript((element.*event.Invoker)()->getScript());
  return list;
}

// The event attributes of the tag joined by single blanks, which stay when
// an event has no script: the tags are compared byte for byte.
template <class C, std::size_t N>
std::string WvEventsText(const C& element, const TWvEvent<C> (&events)[N]) {
  std::string text;
  bool first = true;
  for (const TWvEvent<C>& event : events) {
    if (!first) text += ' ';
    first = false;
    text += (element.*event.Invoker)()->GetEventCall(event.Attribute);
  }
  return text;
}

// Appends the events to the published properties of class C.
template <class C, std::size_t N>
void WvPublishEvents(std::vector<TPropInfo>& properties, const TWvEvent<C> (&events)[N]) {
  for (const TWvEvent<C>& event : events)
    properties.push_back(props::Object<C>(event.Property, event.Invoker));
}

}  // namespace tavkit
