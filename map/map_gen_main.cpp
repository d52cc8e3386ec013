// SPDX-License-Identifier: Apache-2.0
// chip_map_gen: `chiputil map` alone, for the build itself. The example
// driver, which chiputil links for its demo, generates its table in the
// same build: running chiputil for it would make chiputil depend on itself.
namespace chiputil {
int run_map(int argc, char **argv);
}

int main(int argc, char **argv) { return chiputil::run_map(argc, argv); }
