// veldrane-make-sample: builds the sample's databases, so that the example
// integrations can run on a fresh machine.
//
//   veldrane-make-sample [--customers N] [--orders M] FOLDER
//
// writes FOLDER/crm.db, the source (CUSTOMERS and ORDERS filled with made-up
// but plausible rows, some orders CANCELLED), and FOLDER/warehouse.db, the
// target (CLIENTS, ORDER_FACTS, REVIEWED_ORDERS). The warehouse is empty but
// for the facts of the cancelled orders, as if they had been loaded before
// they were cancelled: delete_orders.xml removes them. The rows come from a
// fixed seed, so every machine gets the same databases. Each file is built
// beside its final name and renamed over it, so a failed run never leaves
// half a database, and running it again starts the sample afresh.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/vb_error.h"
#include "platform/db/ado.h"

namespace {

using veldrane::VbError;
namespace ado = veldrane::ado;

// A small deterministic generator (SplitMix64): the same numbers on every
// platform and library, unlike the standard distributions.
class Dice {
 public:
  explicit Dice(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n-1
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  template <class T>
  const T& Pick(const std::vector<T>& items) { return items[Below(static_cast<int>(items.size()))]; }

 private:
  uint64_t state_;
};

const std::vector<std::string> kFirstNames = {"Anna", "Ben", "Clara", "David", "Emma", "Felix", "Greta", "Hugo",
                                              "Ida", "Jonas", "Katrin", "Lars", "Mia", "Noah", "Olga", "Paul",
                                              "Rosa", "Sven", "Tara", "Ugo", "Vera", "Willem", "Yara", "Zoe"};
const std::vector<std::string> kLastNames = {"Adler", "Berg", "Costa", "Dubois", "Eriksen", "Fischer", "Garcia",
                                             "Hansen", "Ivanova", "Jansen", "Keller", "Larsen", "Moreau", "Novak",
                                             "O'Brien", "Petit", "Quinn", "Rossi", "Schmid", "Toth", "Ulrich",
                                             "Vogel", "Weber", "Young"};
const std::vector<std::string> kCities = {"Berlin", "Hamburg", "Munich", "Vienna", "Zurich",     "Paris",
                                          "Lyon",   "Madrid",  "Lisbon", "Rome",   "Milan",      "Oslo",
                                          "Copenhagen", "Dublin", "Prague", "Warsaw"};

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

// Opens a new SQLite file at `path` (created; it must not exist).
ado::ConnectionRef Create(const std::string& path) {
  auto connection = ado::Connection::Create();
  connection->Open("Provider=SQLite;Data Source=" + path + ";Mode=Create");
  return connection;
}

std::string CustomerName(Dice& dice) {
  std::string name = dice.Pick(kFirstNames) + " " + dice.Pick(kLastNames);
  // Some names were typed with stray blanks: the sample's formula trims them.
  if (dice.Below(8) == 0) name = "  " + name + " ";
  return name;
}

void WriteCrm(const std::string& path, int customers, int orders, std::vector<int>& cancelled,
              std::vector<std::string>& names, std::vector<int>& order_customer, std::vector<std::string>& amounts) {
  auto db = Create(path);
  db->Execute("CREATE TABLE CUSTOMERS (CUSTNO INTEGER PRIMARY KEY, NAME TEXT, CITY TEXT)");
  db->Execute("CREATE TABLE ORDERS (ORDERNO INTEGER PRIMARY KEY, CUSTNO INTEGER, AMOUNT REAL, STATUS TEXT)");
  Dice dice(20250601);
  db->BeginTrans();
  names.assign(1, "");
  for (int c = 1; c <= customers; ++c) {
    names.push_back(CustomerName(dice));
    db->Execute("INSERT INTO CUSTOMERS VALUES (" + std::to_string(c) + ", " + Quote(names.back()) + ", " +
                Quote(dice.Pick(kCities)) + ")");
  }
  order_customer.assign(1, 0);
  amounts.assign(1, "");
  for (int o = 1; o <= orders; ++o) {
    int cents = 500 + dice.Below(99500);
    char amount[32];
    std::snprintf(amount, sizeof amount, "%d.%02d", cents / 100, cents % 100);
    bool is_cancelled = dice.Below(10) == 0;
    if (is_cancelled) cancelled.push_back(o);
    order_customer.push_back(1 + dice.Below(customers));
    amounts.push_back(amount);
    db->Execute("INSERT INTO ORDERS VALUES (" + std::to_string(o) + ", " + std::to_string(order_customer.back()) +
                ", " + amount + ", " + Quote(is_cancelled ? "CANCELLED" : "OPEN") + ")");
  }
  db->CommitTrans();
  db->Close();
}

void WriteWarehouse(const std::string& path, const std::vector<int>& cancelled, const std::vector<std::string>& names,
                    const std::vector<int>& order_customer, const std::vector<std::string>& amounts) {
  auto db = Create(path);
  db->Execute("CREATE TABLE CLIENTS (CUSTNO INTEGER PRIMARY KEY, NAME TEXT, CITY TEXT)");
  db->Execute(
      "CREATE TABLE ORDER_FACTS (ORDERNO INTEGER PRIMARY KEY, CUSTNO INTEGER, CLIENT_NAME TEXT, AMOUNT REAL)");
  db->Execute("CREATE TABLE REVIEWED_ORDERS (ORDERNO INTEGER PRIMARY KEY, AMOUNT REAL, NOTE TEXT)");
  db->BeginTrans();
  for (int order : cancelled) {
    int customer = order_customer[order];
    db->Execute("INSERT INTO ORDER_FACTS VALUES (" + std::to_string(order) + ", " + std::to_string(customer) + ", " +
                Quote(names[customer]) + ", " + amounts[order] + ")");
  }
  db->CommitTrans();
  db->Close();
}

// Builds the database with `write` in a temporary file beside `path`, then
// renames it over `path`.
template <class Write>
void Replace(const std::filesystem::path& path, Write write) {
  std::filesystem::path temp = path;
  temp += ".building";
  std::filesystem::remove(temp);
  try {
    write(temp.string());
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    throw;  // the caller reports it; the half-built file is gone
  }
  std::filesystem::rename(temp, path);
}

int Usage() {
  std::fprintf(stderr, "usage: veldrane-make-sample [--customers N] [--orders M] FOLDER\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int customers = 3000, orders = 8000;
  std::string folder;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if ((arg == "--customers" || arg == "--orders") && i + 1 < argc) {
      char* end = nullptr;
      long value = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || value < 1 || value > 10000000) {
        std::fprintf(stderr, "veldrane-make-sample: %s wants a number from 1 to 10000000, not '%s'\n", arg.c_str(),
                     argv[i]);
        return 2;
      }
      (arg == "--customers" ? customers : orders) = static_cast<int>(value);
    } else if (arg == "-h" || arg == "--help") {
      Usage();
      return 0;
    } else if (!arg.empty() && arg[0] != '-' && folder.empty()) {
      folder = arg;
    } else {
      return Usage();
    }
  }
  if (folder.empty()) return Usage();
  try {
    std::filesystem::create_directories(folder);
    auto crm = std::filesystem::path(folder) / "crm.db";
    auto warehouse = std::filesystem::path(folder) / "warehouse.db";
    std::vector<int> cancelled, order_customer;
    std::vector<std::string> names, amounts;
    Replace(crm, [&](const std::string& path) {
      WriteCrm(path, customers, orders, cancelled, names, order_customer, amounts);
    });
    Replace(warehouse, [&](const std::string& path) {
      WriteWarehouse(path, cancelled, names, order_customer, amounts);
    });
    std::printf("%s: %d customers, %d orders (%zu cancelled)\n%s: empty CLIENTS and REVIEWED_ORDERS, %zu order facts\n",
                crm.c_str(), customers, orders, cancelled.size(), warehouse.c_str(), cancelled.size());
  } catch (const VbError& error) {
    std::fprintf(stderr, "veldrane-make-sample: %s (error %d)\n", error.description().c_str(), error.number());
    return 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "veldrane-make-sample: %s\n", error.what());
    return 1;
  }
  return 0;
}
