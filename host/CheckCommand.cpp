#include "host/CheckCommand.h"

#include <map>
#include <memory>
#include <set>

#include "host/Composition.h"
#include "host/HostError.h"
#include "host/ParamValue.h"
#include "host/PluginCatalog.h"
#include "host/PngImage.h"
#include "host/Project.h"
#include "host/Session.h"

namespace vask::host {
namespace {

class Report {
 public:
  Report(std::ostream& err) : err_(err) {}
  void problem(const std::string& what) {
    err_ << "vask: " << what << "\n";
    ++problems_;
  }
  void warning(const std::string& what) { err_ << "vask: warning: " << what << "\n"; }
  int problems() const { return problems_; }

 private:
  std::ostream& err_;
  int problems_ = 0;
};

// "0049" or "0049 … 0100": a run of file numbers in the sequence's own names.
std::string runText(const FramePattern& pattern, int64_t first, int64_t last) {
  return first == last ? pattern.name(first) : pattern.name(first) + " … " + pattern.name(last);
}

// Every file of the sequence that a frame of the composition shows, decoded.
// Missing files are told as runs; each other failure on its own.
int checkSequence(const ProjectLayer& layer, const std::string& where, int64_t frames, Report& report,
                  Verbosity verbosity, std::ostream& out) {
  std::optional<PngSize> firstSize;
  std::vector<int64_t> missing;
  int checked = 0;
  for (int64_t f = 0; f < frames; ++f) {
    const int64_t number = layer.first + f;
    const auto file = layer.folder / layer.sequence->name(number);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
      missing.push_back(number);
      continue;
    }
    try {
      const World w = readPng(file);
      ++checked;
      if (!firstSize) {
        firstSize = PngSize{w.width(), w.height()};
      } else if (w.width() != firstSize->width || w.height() != firstSize->height) {
        report.problem(where + ": " + file.string() + " is " + std::to_string(w.width()) + " x " +
                       std::to_string(w.height()) + " pixels, but the sequence's first file is " +
                       std::to_string(firstSize->width) + " x " + std::to_string(firstSize->height));
      }
      if (verbosity == Verbosity::Verbose) out << "checked " << file.string() << "\n";
    } catch (const HostError& e) {
      report.problem(where + ": " + e.what());
    }
  }
  for (std::size_t i = 0; i < missing.size();) {
    std::size_t j = i;
    while (j + 1 < missing.size() && missing[j + 1] == missing[j] + 1) ++j;
    const auto count = j - i + 1;
    report.problem(where + ": " + (layer.folder / runText(*layer.sequence, missing[i], missing[j])).string() +
                   (count == 1 ? " is missing" : ": " + std::to_string(count) + " files are missing") +
                   " (frames " + std::to_string(missing[i] - layer.first) + "-" +
                   std::to_string(missing[j] - layer.first) + " show them)");
    i = j + 1;
  }
  return checked;
}

}  // namespace

int runCheck(const CheckRequest& request, std::ostream& out, std::ostream& err) {
  Report report(err);
  Project project;
  try {
    project = loadProject(request.project);
  } catch (const std::exception& e) {
    report.problem(e.what());
    err << "vask: 1 problem in " << request.project.string() << "\n";
    return 1;
  }
  const std::string file = request.project.string();

  int pictures = 0;
  for (std::size_t i = 0; i < project.layers.size(); ++i) {
    const ProjectLayer& l = project.layers[i];
    const std::string where = file + ": " + describeLayer(l, i);
    if (l.kind == LayerKind::Image) {
      try {
        readPng(l.file);
        ++pictures;
        if (request.verbosity == Verbosity::Verbose) out << "checked " << l.file.string() << "\n";
      } catch (const HostError& e) {
        report.problem(where + ": " + e.what());
      }
    } else if (l.kind == LayerKind::Sequence) {
      pictures += checkSequence(l, where, project.composition.frames, report, request.verbosity, out);
    }
  }

  int effects = 0, settings = 0;
  try {
    const PluginCatalog catalog =
        PluginCatalog::scan(request.plugins.empty() ? defaultPluginFolders() : request.plugins);
    for (const auto& w : catalog.warnings()) report.warning(w);
    if (request.verbosity == Verbosity::Verbose) {
      out << "effects from " << catalog.foldersText() << ": " << catalog.matchNames().size() << " found\n";
    }
    std::vector<std::string> layerNames;
    for (const auto& l : project.layers) layerNames.push_back(l.name);
    Session session;
    for (std::size_t li = 0; li < project.layers.size(); ++li) {
      const ProjectLayer& layer = project.layers[li];
      for (std::size_t ei = 0; ei < layer.effects.size(); ++ei) {
        const ProjectEffect& entry = layer.effects[ei];
        const std::string where = file + ": " + describeEffect(layer, li, entry, ei);
        if (entry.model && !entry.flat) {
          std::error_code ec;
          if (!std::filesystem::is_regular_file(*entry.model, ec)) {
            report.problem(where + ": \"model\" " + entry.model->string() + " is not a file that can be read");
          }
        }
        const auto library = catalog.find(entry.matchName);
        if (!library) {
          std::string known;
          for (const auto& n : catalog.matchNames()) known += (known.empty() ? "\"" : ", \"") + n + "\"";
          report.problem(where + ": no effect library in " + catalog.foldersText() +
                         " has this match name; known effects: " + (known.empty() ? "none" : known));
          continue;
        }
        std::shared_ptr<Effect> effect;
        try {
          effect = session.loadEffect(*library);
        } catch (const HostError& e) {
          report.problem(where + ": " + e.what());
          continue;
        }
        ++effects;
        for (const ParamSetting& ps : entry.params) {
          std::vector<std::string> warnings;
          try {
            bindSetting(effect->params(), effect->pipl().name, ps, project.format, layerNames, where, warnings);
            ++settings;
          } catch (const ProjectError& e) {
            report.problem(e.what());
          }
          for (const auto& w : warnings) report.warning(w);
        }
      }
    }
    for (const auto& failure : session.shutDown()) report.problem(failure);
    // All parts sound: set the whole composition up as a render does, which
    // hands each effect its saved sequence data.
    if (report.problems() == 0) {
      std::vector<std::string> warnings;
      Composition composition(project, catalog, CompositionOptions{}, warnings);
      for (const auto& failure : composition.shutDown()) report.problem(failure);
    }
  } catch (const std::exception& e) {
    report.problem(e.what());
  }

  if (report.problems() > 0) {
    err << "vask: " << report.problems() << " problem" << (report.problems() == 1 ? "" : "s") << " in " << file
        << "\n";
    return 1;
  }
  if (request.verbosity != Verbosity::Quiet) {
    out << file << ": ok: " << project.layers.size() << " layer" << (project.layers.size() == 1 ? "" : "s") << ", "
        << pictures << " picture" << (pictures == 1 ? "" : "s") << ", " << effects << " effect"
        << (effects == 1 ? "" : "s") << ", " << settings << " parameter setting" << (settings == 1 ? "" : "s")
        << ", frames 0-" << project.composition.frames - 1 << "\n";
  }
  return 0;
}

}  // namespace vask::host
