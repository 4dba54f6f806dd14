#pragma once

#include <vector>

#include "model/PersistedRide.h"
#include "model/WeatherSnapshot.h"

namespace vantrel::test {

/// 2024-05-01T07:30:00 in Zurich (05:30:00Z), where the tests run.
inline const Date kMayFirst = dateFromUnix(1714541400);

inline Uuid uuidOf(const char* text) {
    return *Uuid::parse(text);
}

/// A ride with a value in every carried field; `seconds` points at 1 Hz with heart rate.
inline PersistedRide fullRide(Date start, int seconds) {
    PersistedRide ride;
    ride.date = start;
    ride.duration = seconds;
    ride.distance = 5000.25;
    ride.elevationGain = 12.5;
    ride.averageHeartRate = 142.5;
    ride.maxHeartRate = 171;
    ride.calories = 300.75;
    ride.activeTime = seconds - 0.5;
    std::vector<RoutePoint> points;
    std::vector<HeartRateSample> samples;
    for (int i = 0; i < seconds; ++i) {
        points.push_back(
            {Uuid::random(), {47.1 + i * 1e-5, 8.5 - i * 1e-5}, 400 + i * 0.1, start + i});
        samples.push_back({Uuid::random(), start + i + 0.25, 120.0 + i % 40});
    }
    ride.setRoutePoints(points);
    ride.setHeartRateSamples(samples);
    ride.healthKitUUID = Uuid::random();
    ride.activityType = "running";
    ride.importSource = "Strava";
    ride.stravaActivityId = "1234567890";
    ride.startWeatherData = encodeWeather({18.5, 2, 60, 12.0, 270, 42});
    ride.endWeatherData = encodeWeather({21.0, 3, 55, 8.5, 180, std::nullopt});
    ride.city = "Zürich";
    ride.startElevation = 408.2;
    ride.notes = "Said \"hi\" to a fox\nthen éclair 🥐 / done";
    return ride;
}

}  // namespace vantrel::test
