// Reads review histories, one a line as "DAY:GRADE DAY:GRADE ..." (days ascending, grades 1..4),
// and prints for each line the due days the scheduler gives after each review, space-separated,
// for tests/review/compare_fsrs.mjs to check against the npm reference.
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "engine/ReviewSchedule.h"

int main() {
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string review;
        pp::ReviewCard card;
        const char* separator = "";
        while (in >> review) {
            int day = 0;
            int grade = 0;
            if (std::sscanf(review.c_str(), "%d:%d", &day, &grade) != 2 || grade < 1 || grade > 4) {
                return 2;
            }
            card = pp::reviewCard(card, static_cast<pp::Grade>(grade), day);
            std::cout << separator << card.dueDay;
            separator = " ";
        }
        std::cout << '\n';
    }
    return 0;
}
