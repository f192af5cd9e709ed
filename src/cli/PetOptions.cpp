// The pet information as the tool takes it: the three options of `read` and
// `report`, refused when they hold control characters, repaired when they
// are not valid UTF-8.

#include "cli/Cli.h"
#include "cli/Terminal.h"
#include "common/SafeText.h"

namespace yelvane {

void AddPetOptions(CLI::App& command, PetInfo& pet) {
  // A line break would forge lines of the text report, and other control
  // characters reach the terminal; the dialog cannot type them either.
  const CLI::Validator printable(
      [](std::string& text) -> std::string {
        return HasControlCharacters(text)
                   ? "contains a control character (a line break, tab or escape); use "
                     "printable text only"
                   : std::string();
      },
      "TEXT");
  command.add_option("--pet-name", pet.name, "Pet's name")->check(printable);
  command.add_option("--pet-owner", pet.owner, "Pet's owner")->check(printable);
  command.add_option("--pet-location", pet.location, "Pet's location")->check(printable);
}

void RepairPetText(PetInfo& pet) {
  bool any = false;
  for (std::string* text : {&pet.name, &pet.owner, &pet.location}) {
    bool replaced = false;
    *text = ValidUtf8(*text, &replaced);
    any = any || replaced;
  }
  if (any)
    StderrLine(
        "Warning: the pet information is not valid UTF-8; the invalid bytes are replaced by "
        "U+FFFD.");
}

}  // namespace yelvane
