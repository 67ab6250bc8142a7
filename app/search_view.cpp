// The search command, the page links and the hover texts over the result view.
#include "app/search_view.h"

#include <cstdio>

#include "core/messages.h"
#include "index/index_lock.h"
#include "index/load.h"
#include "index/marker.h"
#include "index/swap.h"
#include "platform/path.h"
#include "viewer/display_text.h"
#include "viewer/document_layout.h"
#include "viewer/page_layout.h"
#include "viewer/paging.h"
#include "viewer/search.h"

namespace norvel {

namespace {

// readFile leaves the document view's single Back link only when the document opened.
bool ShowsADocument(const ViewLayout& layout) {
  return layout.links.size() == 1 && !layout.lines.empty() && layout.lines.back() == "Back";
}

}  // namespace

SearchSession::SearchSession(Settings* settings, InMemoryIndex* index, JobProgress* job,
                             ResultView* view)
    : settings_(settings), index_(index), job_(job), view_(view) {
  view_->relayout_page = [this] { LayOutPage(); };
  view_->is_query_word = [this](const std::string& word) {
    if (index_->rules == WordRules::kInternational) {
      const std::string utf8 = AnsiWordToUtf8(word);
      return IsQueryWord(state_, utf8.data(), utf8.size(), index_->rules);
    }
    return IsQueryWord(state_, word.data(), word.size());
  };
  view_->is_word_char = [this](unsigned char c) {
    return index_->rules == WordRules::kInternational ? IsAnsiWordChar(c) : IsWordChar(c);
  };
  view_->follow_link = [this](int link) { FollowLink(link); };
}

PageSources SearchSession::Sources() const {
  // The order is read at each search: a change of View > Order by relevance takes effect
  // at the next one, while the pages of the last search keep theirs.
  PageSources sources{settings_->data_dir, settings_->index_dir, index_};
  if (settings_->order_by_relevance) sources.order = ResultOrder::kRelevance;
  return sources;
}

void SearchSession::ShowableExcerpts() {
  if (index_->rules != WordRules::kInternational) return;
  for (std::string& excerpt : state_.page_excerpts) excerpt = ToAnsiDisplay(excerpt);
}

void SearchSession::LayOutPage() {
  const PageBounds page{state_.page_start, state_.page_end, state_.result_total};
  CalcDocSize(view_->metrics(), view_->GetViewRect(0).top, page, &state_.page_excerpts,
              &view_->layout());
  view_->LayoutChanged();
}

void SearchSession::ShowFromStart() {
  view_->TrackWidestLineEnd();
  view_->SetupScrollBars();
  view_->ScrollToStart();
}

// A query or a page reads the index files under the read lock, so no swap renames them
// meanwhile. Says why when it cannot be had.
bool SearchSession::LockIndexForReading(SwapLock* reading) {
  if (settings_->index_dir.empty()) return true;  // nothing is loaded, nothing to read
  if (reading->AcquireShared(settings_->index_dir)) return true;
  ShowMessage(kInfo, 0, "Please try later.");
  return false;
}

// A swap that stopped half-way (its writer died, or a rename failed) leaves current files
// that no reader may use, and only a writer completes it. With the writer's locks free
// this window is the next writer, as start-up would be; a writer at work finishes it
// itself. Leaves the caller's read lock held again; false when no index came of it (it
// has said why).
bool SearchSession::CompleteInterruptedSwap(SwapLock* reading) {
  const std::string& dir = settings_->index_dir;
  if (!TryLockMarker(settings_->app_dir)) {
    ShowMessage(kInfo, 0, "Please try later.");
    return false;
  }
  if (LockIndexWriter(dir) != LockResult::kLocked) {
    UnlockMarker();
    ShowMessage(kInfo, 0, "Please try later.");
    return false;
  }
  reading->Release();  // the swap renames under the exclusive lock
  RenAndReloadNdx(dir, settings_->app_dir, index_, &state_.result_list, job_);
  RecordIndexTime(dir, index_);
  UnlockMarker();
  if (!reading->AcquireShared(dir)) {
    ShowMessage(kInfo, 0, "Please try later.");
    return false;
  }
  if (SwapInterrupted(dir)) index_->Release();  // a rename failed again; it has said so
  return index_->loaded();
}

// Another window or norvel-cli may have replaced the index files since they were loaded:
// the word offsets in memory belong to the old files, so the index is loaded again,
// under the caller's read lock. False when a replaced index cannot be loaded (it has said
// why); *reloaded tells whether a new one came in. Without a loaded index the search says
// "Index read error." as it always has.
bool SearchSession::LoadReplacedIndex(SwapLock* reading, bool* reloaded) {
  *reloaded = false;
  const std::string& dir = settings_->index_dir;
  if (!index_->loaded() || !IndexReplacedSinceLoad(dir, *index_)) return true;
  // The last search's pages name documents of the old index.
  Release();
  if (SwapInterrupted(dir)) {
    *reloaded = CompleteInterruptedSwap(reading);
    return *reloaded;
  }
  // The reload of another process's swap fails as the reload of this one's does.
  if (readIndexIntoMem(dir, settings_->app_dir, index_) != 0) {
    ShowMessage(kInfo, 1, "RenAndReloadNdx().");
    return false;
  }
  RecordIndexTime(dir, index_);
  *reloaded = true;
  return true;
}

void SearchSession::Release() {
  ReleaseSearch(&state_);
  view_->ClearSelection();
  view_->layout().Clear();
  view_->document_view = false;
  view_->LayoutChanged();
}

void SearchSession::OnSearch(const std::string& field_text) {
  if (job_ && job_->index_ready) {
    RenAndReloadNdx(settings_->index_dir, settings_->app_dir, index_, &state_.result_list, job_);
    RecordIndexTime(settings_->index_dir, index_);
    UnlockMarker();
    // The last search's pages name documents of the replaced index; nothing may page
    // through them any more, also when no index could be loaded below.
    Release();
    view_->SetupScrollBars();
    view_->ScrollToStart();
  }
  SwapLock reading;
  bool reloaded = false;
  if (!LockIndexForReading(&reading) || !LoadReplacedIndex(&reading, &reloaded)) {
    view_->SetupScrollBars();
    view_->ScrollToStart();
    return;
  }
  if (!index_->loaded()) {
    ShowMessage(kInfo, 1, "Please check the logs");
    return;
  }
  view_->ClearSelection();
  view_->layout().Clear();
  view_->document_view = false;
  view_->LayoutChanged();
  view_->Redraw();
  const std::string note = reloaded ? "New index loaded|" : "";
  PageSources sources = Sources();
  sources.reading = &reading;  // let go while documents are read to confirm phrases
  if (RunSearch(QueryFromField(field_text).c_str(), sources, &state_, note) != 0) {
    view_->SetupScrollBars();
    return;
  }
  ShowableExcerpts();
  LayOutPage();
  ShowFromStart();
}

void SearchSession::FollowLink(int link) {
  const uint32_t documents = static_cast<uint32_t>(state_.page_file_names.size());
  PageBounds page{state_.page_start, state_.page_end, state_.result_total};
  LinkTarget target = ResolveLink(link, state_.document_view, documents, &page);
  SwapLock reading;
  if (target == LinkTarget::kNone || !LockIndexForReading(&reading)) return;
  if (IndexReplacedSinceLoad(settings_->index_dir, *index_)) {
    // The pages number documents of the old index; the next search loads the new one.
    Release();
    view_->SetupScrollBars();
    view_->ScrollToStart();
    SetStatusText("Files reindexed. Please search again.");
    return;
  }
  switch (target) {
    case LinkTarget::kNone:
      return;
    case LinkTarget::kBack:
      state_.document_view = false;
      break;
    case LinkTarget::kDocument: {
      const std::string path =
          platform::JoinPath(settings_->data_dir, state_.page_file_names[link]);
      view_->document_view = true;
      // A document of an international index is shown in the window's code page.
      AnsiDisplayConverter shown;
      const bool intl = index_->rules == WordRules::kInternational;
      readFile(view_->metrics(), view_->GetViewRect(0).top, path, &view_->layout(),
               intl ? &shown : nullptr);
      view_->LayoutChanged();
      // A document that cannot be shown leaves the user on the page, not in an empty
      // view without a way back.
      state_.document_view = ShowsADocument(view_->layout());
      break;
    }
    case LinkTarget::kPrevious:
    case LinkTarget::kNext:
      state_.page_start = page.start;
      state_.page_end = page.end;
      break;
  }
  state_.page_file_names.clear();
  state_.page_excerpts.clear();
  GetNextPage(&state_, Sources());
  ShowableExcerpts();
  view_->document_view = state_.document_view;
  // The selection's lines and columns belong to the layout being replaced.
  view_->ClearSelection();
  if (!state_.document_view) LayOutPage();
  ShowFromStart();
}

HoverInfo SearchSession::Hover(int x, int y) const {
  HoverInfo hover;
  const int link = view_->LinkAtClientPoint(x, y);
  if (link >= 0) {
    hover.over_link = true;
    if (!state_.document_view && static_cast<size_t>(link) < state_.page_file_names.size()) {
      hover.has_status = true;
      // A name the code page cannot spell is held as UTF-8: shown with '?' for what it lacks.
      hover.status = DisplayName(state_.page_file_names[link]);
    }
  } else if (state_.page_end != 0) {
    const PageBounds page{state_.page_start, state_.page_end, state_.result_total};
    char text[64];
    std::snprintf(text, sizeof text, "Page=%d/%d|Total=%u",
                  static_cast<int>(CurrentPageNumber(page)), static_cast<int>(PageCount(page)),
                  state_.result_total);
    hover.has_status = true;
    hover.status = text;
  }
  return hover;
}

}  // namespace norvel
